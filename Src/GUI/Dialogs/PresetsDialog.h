#pragma once
#include "GUI/Dialogs/TabDialog.h"

#include <QMessageBox>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

/// Whether the Presets page accepts name (leading spaces already dropped) for a preset: letters
/// and digits of any script (with combining marks), spaces and the punctuation - ' ’ / . + , & ( ) ! ? :,
/// not starting with "(". Anything else (control characters, "=", "[" ...) is refused.
bool AcceptablePresetName(const QString& name);

/// The Presets page of the settings dialog: the named presets of the settings store in a
/// two-column list (name, description) in the store's order, and edits for a preset's name and
/// description. Save stores the values every page shows now as a new preset (asking before it
/// overwrites one of the same name), Update overwrites and may rename the selected preset, Load
/// makes the selected preset the current settings and has every page and the main window show
/// them, Delete removes it without asking. A double-click loads the row's preset; with Ctrl held
/// it only copies the row's name and description into the edits.
///
/// A name is checked by AcceptablePresetName; leading spaces are dropped, as the store drops them. The name and description typed last are kept between openings of the
/// dialog. GUI thread only.
class PresetsDialog final : public TabDialog {
    Q_OBJECT
public:
    // Control identifiers.
    static constexpr int NameLabelId = 1060;
    static constexpr int DescriptionLabelId = 1061;
    static constexpr int ClearId = 1062;
    static constexpr int SaveId = 1063;
    static constexpr int UpdateId = 1064;
    static constexpr int LoadId = 1065;
    static constexpr int DeleteId = 1066;
    static constexpr int NameEditId = 1318;
    static constexpr int DescriptionEditId = 1319;
    static constexpr int ListId = 1320;

    PresetsDialog(Configuration::IConfiguration& configuration, IParentWindow& frame, HelpTable help);

    /// An opening: the list is built anew from the store; the edits show the kept name and
    /// description when a name was kept.
    void Load(const Configuration::ConfigurationData& settings) override;

    void Clear();
    void Save();
    void Update();
    void LoadSelected();
    void DeleteSelected();
    /// A double-click on row: its name and description go into the edits; unless onlyFill,
    /// its preset is then loaded.
    void ChooseRow(QTreeWidgetItem* row, bool onlyFill);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    /// Takes the typed name into the name buffer; false (after telling the user and selecting
    /// the name) when it is empty or holds a character a name may not have.
    bool CheckName();
    /// The selected row; null (after telling the user) when none is selected.
    QTreeWidgetItem* SelectedRow();
    /// A record with the values every page shows now, the typed name and description and the
    /// current tempo and volume; false when a page refused its values.
    bool GatherRecord(Configuration::ConfigurationData& record);
    /// Loads the preset called name; true when it existed.
    bool LoadPreset(const QString& name);
    void AddRow(const QString& name, const QString& description);
    QMessageBox::StandardButton Tell(QMessageBox::Icon icon, int title, int text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    /// The name column takes a quarter of the list, the description the rest.
    void SizeColumns();

    Configuration::IConfiguration& configuration_;
    QLabel* nameLabel_;
    QLineEdit* name_;
    QLabel* descriptionLabel_;
    QLineEdit* description_;
    QPushButton* clear_;
    QPushButton* save_;
    QPushButton* update_;
    QPushButton* load_;
    QPushButton* delete_;
    QTreeWidget* list_;
    // What the edits held when last read, kept between openings of the dialog.
    QString nameBuffer_;
    QString descriptionBuffer_;
};

} // namespace GUI
