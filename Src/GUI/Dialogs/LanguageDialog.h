#pragma once
#include "GUI/Dialogs/Dialog.h"

#include <string>

class QComboBox;

namespace GUI {

/// The "Language" chooser: "English (English)" for the built-in texts and every usable
/// language file of the language folder, listed as "English name (own name)" in alphabetical
/// order with the language in use selected. OK with another language stores its name in the
/// settings (saved at the end of the run) and switches the program to it at once; Cancel, or
/// OK on the language in use, changes nothing.
///
/// A language is known by its name: the built-in English texts by the empty name, a file by
/// its stem, so a file en.lng is a language of its own. Listed are the files that
/// System::ListLanguageFiles finds usable. GUI thread.
class LanguageDialog final : public Dialog {
public:
    static constexpr int ListId = 1322;
    static constexpr int OkId = 1070;
    static constexpr int CancelId = 1071;

    explicit LanguageDialog(const DialogContext& context);

    QComboBox* List() const { return list_; }

protected:
    void Prepare(int argument) override;

private:
    void Apply();
    static void HandleFindFileError(const std::string& folder);

    Configuration::IConfiguration& configuration_;
    ApplicationWindow& window_;
    QComboBox* list_;
    QString currentName_; // the language in use when the dialog opened
};

} // namespace GUI
