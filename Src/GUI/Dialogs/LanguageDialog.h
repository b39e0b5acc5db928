#pragma once
#include "GUI/Dialogs/Dialog.h"

#include <cstdint>
#include <string>

class QComboBox;

namespace GUI {

/// The "Language" chooser: "English (English)" for the built-in texts and every usable
/// language file of the language folder, listed as "English name (own name)" in alphabetical
/// order with the language in use selected. OK with another language stores its name in the
/// settings (saved at the end of the run) and switches the program to it at once; Cancel, or
/// OK on the language in use, changes nothing.
///
/// A language is known by its code: the characters of its file-name stem packed one byte each
/// ("de" is 0x6465). The built-in English texts have the code of "en", so a file en.lng stands
/// for them. Listed are the files "<stem>.lng" shorter than 8 characters whose stem has no
/// further dot and only characters up to U+00FF (others do not pack into a code), and whose
/// header reads. GUI thread.
class LanguageDialog final : public Dialog {
public:
    static constexpr int ListId = 1322;
    static constexpr int OkId = 1070;
    static constexpr int CancelId = 1071;
    /// The code of the built-in English texts (the stem "en").
    static constexpr std::uint32_t EnglishCode = 0x656E;

    explicit LanguageDialog(const DialogContext& context);

    QComboBox* List() const { return list_; }

protected:
    void Prepare(int argument) override;

private:
    void Apply();
    void AddLanguageFiles(const std::string& folder);
    static void HandleFindFileError(const std::string& folder);

    Configuration::IConfiguration& configuration_;
    ApplicationWindow& window_;
    QComboBox* list_;
    std::uint32_t currentCode_ = EnglishCode;
};

} // namespace GUI
