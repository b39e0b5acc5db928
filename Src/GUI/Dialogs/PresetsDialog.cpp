#include "GUI/Dialogs/PresetsDialog.h"

#include "Configuration/IConfiguration.h"
#include "GUI/ProgramFont.h"
#include "GUI/ScreenFit.h"
#include "System/CurrentLanguage.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace GUI {

namespace {

// Message titles and texts.
constexpr int NameRequiredTitle = 1, NameRequiredText = 2;
constexpr int PresetExistsTitle = 2, PresetExistsText = 3;
constexpr int InvalidNameTitle = 3, InvalidNameText = 4;
constexpr int NoSelectionTitle = 5, NoSelectionText = 6;
constexpr int NameTakenTitle = 22, NameTakenText = 53;
// List header texts.
constexpr int PresetColumnText = 12, DescriptionColumnText = 13;

constexpr int NameLength = Configuration::NameCapacity - 1;
constexpr int DescriptionLength = Configuration::DescriptionCapacity - 1;

// The punctuation a title needs besides letters, digits and spaces ("Waltz 3/4", "Clave 3+3+2",
// "Rock'n'Roll", "Op. 10 (slow)"); U+2019 is the typographic apostrophe.
constexpr char16_t TitlePunctuation[] = u"-'\u2019/.+,&()!?:";

} // namespace

bool AcceptablePresetName(const QString& name)
{
    // Letters and digits of every script with their combining marks. Control characters, "="
    // and the other signs stay out of names, and an opening bracket may not start one: a name is
    // a line of the settings file, and there it should read as a title and nothing else.
    const QList<uint> characters = name.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const char32_t c = characters[i];
        if (QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == U' ')
            continue;
        if (c > 0xFFFF || std::u16string_view(TitlePunctuation).find(static_cast<char16_t>(c)) == std::u16string_view::npos)
            return false;
        if (i == 0 && c == U'(')
            return false;
    }
    return true;
}

namespace {

std::u16string Utf16(const QString& text)
{
    return text.toStdU16String();
}

} // namespace

PresetsDialog::PresetsDialog(Configuration::IConfiguration& configuration, IParentWindow& frame,
                             HelpTable help)
    : TabDialog(frame, help),
      configuration_(configuration),
      // Made in the order Tab moves through them; the constructor's grid places them.
      nameLabel_(Tag(new QLabel(QStringLiteral("Name"), this), NameLabelId)),
      name_(Tag(new QLineEdit(this), NameEditId)),
      descriptionLabel_(Tag(new QLabel(QStringLiteral("Description"), this), DescriptionLabelId)),
      description_(Tag(new QLineEdit(this), DescriptionEditId)),
      clear_(Tag(new QPushButton(QStringLiteral("&Clear"), this), ClearId)),
      save_(Tag(new QPushButton(QStringLiteral("&Save"), this), SaveId)),
      update_(Tag(new QPushButton(QStringLiteral("&Update"), this), UpdateId)),
      load_(Tag(new QPushButton(QStringLiteral("&Load"), this), LoadId)),
      delete_(Tag(new QPushButton(QStringLiteral("&Delete"), this), DeleteId)),
      list_(Tag(new QTreeWidget(this), ListId))
{
    nameLabel_->setBuddy(name_);
    descriptionLabel_->setBuddy(description_);
    name_->setMaxLength(NameLength);
    description_->setMaxLength(DescriptionLength);
    list_->setColumnCount(2);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->header()->setSectionsMovable(false);
    list_->header()->setStretchLastSection(false);

    connect(clear_, &QPushButton::clicked, this, &PresetsDialog::Clear);
    connect(save_, &QPushButton::clicked, this, &PresetsDialog::Save);
    connect(update_, &QPushButton::clicked, this, &PresetsDialog::Update);
    connect(load_, &QPushButton::clicked, this, &PresetsDialog::LoadSelected);
    connect(delete_, &QPushButton::clicked, this, &PresetsDialog::DeleteSelected);
    // The double-click's own modifiers tell whether Ctrl was held; a resize shares out the
    // columns again.
    list_->viewport()->installEventFilter(this);

    // Name and description with their labels, the buttons under the edits, the list below
    // taking what the page has beyond them.
    const DialogUnits u = Units();
    QGridLayout* grid = GridAtLeast(*this, u.Rect(0, 0, 400, 160).size());
    grid->setContentsMargins(u.X(8), u.Y(8), u.X(8), u.Y(8));
    grid->setHorizontalSpacing(u.X(4));
    grid->setVerticalSpacing(0);
    // The rows at least as far apart as in English.
    grid->setRowMinimumHeight(0, u.Y(18));
    grid->setRowMinimumHeight(1, u.Y(19));
    grid->setRowMinimumHeight(2, u.Y(22));
    grid->addWidget(nameLabel_, 0, 0);
    grid->addWidget(name_, 0, 1, Qt::AlignLeft);
    grid->addWidget(descriptionLabel_, 1, 0);
    grid->addWidget(description_, 1, 1);
    name_->setMinimumWidth(u.X(150));
    grid->setColumnMinimumWidth(0, u.X(40));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(u.X(4));
    for (QPushButton* button : {clear_, save_, update_, load_, delete_}) {
        button->setMinimumWidth(u.X(50));
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    grid->addLayout(buttons, 2, 1);
    grid->addWidget(list_, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
}

bool PresetsDialog::eventFilter(QObject* object, QEvent* event)
{
    if (object == list_->viewport() && event->type() == QEvent::Resize)
        SizeColumns();
    if (object == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton) {
            if (QTreeWidgetItem* row = list_->itemAt(click->position().toPoint()))
                ChooseRow(row, click->modifiers().testFlag(Qt::ControlModifier));
            return true;
        }
    }
    return TabDialog::eventFilter(object, event);
}

void PresetsDialog::Load(const Configuration::ConfigurationData& /*settings*/)
{
    const auto language = System::CurrentLanguage();
    list_->setHeaderLabels({FromTableText(language->GetText(PresetColumnText)),
                            FromTableText(language->GetText(DescriptionColumnText))});
    list_->clear();
    configuration_.ForEachPreset([this](const Configuration::ConfigurationData& preset) {
        AddRow(QString::fromStdU16String(preset.Name), QString::fromStdU16String(preset.Description));
    });
    if (!nameBuffer_.isEmpty()) {
        name_->setText(nameBuffer_);
        description_->setText(descriptionBuffer_);
    }
}

void PresetsDialog::AddRow(const QString& name, const QString& description)
{
    list_->addTopLevelItem(new QTreeWidgetItem(QStringList{name, description}));
}

void PresetsDialog::Clear()
{
    name_->clear();
    description_->clear();
}

bool PresetsDialog::CheckName()
{
    // The store drops leading spaces from a name, so a name of spaces only is no name.
    const QString typed = name_->text().left(NameLength);
    qsizetype first = 0;
    while (first < typed.size() && typed[first] == u' ')
        ++first;
    nameBuffer_ = typed.mid(first);
    if (nameBuffer_.isEmpty()) {
        Tell(QMessageBox::Warning, NameRequiredTitle, NameRequiredText);
        name_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (!AcceptablePresetName(nameBuffer_)) {
        nameBuffer_.clear();
        Tell(QMessageBox::Warning, InvalidNameTitle, InvalidNameText);
        name_->selectAll();
        name_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

QTreeWidgetItem* PresetsDialog::SelectedRow()
{
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty()) {
        Tell(QMessageBox::Information, NoSelectionTitle, NoSelectionText);
        return nullptr;
    }
    return selected.first();
}

bool PresetsDialog::GatherRecord(Configuration::ConfigurationData& record)
{
    // A record that does not start with the current settings' mark takes the step sequencer's
    // rhythm from the Options page: the preset keeps the rhythm being edited.
    if (Frame().Request(IParentWindow::GatherValues, {0, &record}) != 0)
        return false;
    descriptionBuffer_ = description_->text().left(DescriptionLength);
    record.Name = Utf16(nameBuffer_);
    record.Description = Utf16(descriptionBuffer_);
    const Configuration::ConfigurationData& current = configuration_.GetData();
    record.Bpm = current.Bpm;
    record.GlobalVolume = current.GlobalVolume;
    return true;
}

void PresetsDialog::Save()
{
    Configuration::ConfigurationData record;
    if (!CheckName() || !GatherRecord(record))
        return;
    const std::u16string name = Utf16(nameBuffer_);
    if (configuration_.PresetExists(name)) {
        // The row keeps the description it showed; the store has the new one.
        if (Tell(QMessageBox::Information, PresetExistsTitle, PresetExistsText, QMessageBox::Yes | QMessageBox::No) ==
            QMessageBox::Yes)
            configuration_.UpdatePreset(record, name);
        return;
    }
    if (configuration_.AddPreset(record))
        AddRow(nameBuffer_, descriptionBuffer_);
}

void PresetsDialog::Update()
{
    QTreeWidgetItem* row = SelectedRow();
    Configuration::ConfigurationData record;
    if (!row || !CheckName() || !GatherRecord(record))
        return;
    const std::u16string oldName = Utf16(row->text(0).left(NameLength));
    const std::u16string newName = Utf16(nameBuffer_);
    // A new name that another preset holds would merge the two presets: the update is refused
    // before anything is stored. A refusal by the store is told the same way.
    const bool taken = newName != oldName && configuration_.PresetExists(newName);
    if (taken || !configuration_.UpdatePreset(record, oldName)) {
        Tell(QMessageBox::Warning, NameTakenTitle, NameTakenText);
        name_->selectAll();
        name_->setFocus(Qt::OtherFocusReason);
        return;
    }
    row->setText(0, nameBuffer_);
    row->setText(1, descriptionBuffer_);
}

bool PresetsDialog::LoadPreset(const QString& name)
{
    nameBuffer_ = name.left(NameLength);
    if (!configuration_.LoadPreset(Utf16(nameBuffer_))) {
        nameBuffer_.clear();
        return false;
    }
    const Configuration::ConfigurationData& current = configuration_.GetData();
    descriptionBuffer_ = QString::fromStdU16String(current.Description);
    name_->setText(nameBuffer_);
    description_->setText(descriptionBuffer_);
    Frame().Notify(IParentWindow::PresetLoaded, 0);
    return true;
}

void PresetsDialog::LoadSelected()
{
    QTreeWidgetItem* row = SelectedRow();
    if (!row) {
        nameBuffer_.clear();
        return;
    }
    LoadPreset(row->text(0));
}

void PresetsDialog::DeleteSelected()
{
    QTreeWidgetItem* row = SelectedRow();
    if (!row)
        return;
    configuration_.DeletePreset(Utf16(row->text(0).left(NameLength)));
    delete row;
    list_->clearSelection();
    list_->setCurrentItem(nullptr);
}

void PresetsDialog::ChooseRow(QTreeWidgetItem* row, bool onlyFill)
{
    if (!row)
        return;
    nameBuffer_ = row->text(0).left(NameLength);
    descriptionBuffer_ = row->text(1).left(DescriptionLength);
    name_->setText(nameBuffer_);
    description_->setText(descriptionBuffer_);
    if (!onlyFill)
        LoadPreset(nameBuffer_);
}

QMessageBox::StandardButton PresetsDialog::Tell(QMessageBox::Icon icon, int title, int text,
                                                QMessageBox::StandardButtons buttons)
{
    const auto language = System::CurrentLanguage();
    QMessageBox box(icon, FromTableText(language->GetMessageTitle(title)), FromTableText(language->GetMessage(text)),
                    buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void PresetsDialog::SizeColumns()
{
    // The name column takes a quarter of the list; the description the rest, less room for a
    // vertical scroll bar, so that no horizontal one appears when the list fills.
    const int client = list_->viewport()->width() + (list_->verticalScrollBar()->isVisible() ? list_->verticalScrollBar()->width() : 0);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    list_->setColumnWidth(0, client / 4);
    list_->setColumnWidth(1, std::max(0, client - client / 4 - scrollBar));
}

} // namespace GUI
