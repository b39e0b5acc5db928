#pragma once
#include "Diary/Session.h"
#include "Diary/Store.h"
#include "GUI/Dialogs/Dialog.h"

#include <vector>

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace Configuration {
class IConfiguration;
}
namespace Diary {
class Keeper;
}

namespace GUI {

class DiarySessionFilter;
class DiarySessionModel;

/// The [Text] entries of the practice diary's window and switch.
namespace DiaryText {
constexpr int Title = 114, CurrentSettings = 115, MinutesPerDay = 116, TempoReached = 117, Timing = 118,
              LastWeeks = 119 /* 119, 120: 4 and 12 weeks */, NameFilter = 121, From = 122, To = 123, Export = 124,
              Delete = 125, DeleteAll = 126, File = 127, FirstColumn = 128 /* 128..135 */, DeleteOne = 136,
              DeleteEvery = 137, CsvFiles = 138, Switch = 139, SwitchedOff = 140, NoTimingFigures = 141, Close = 142,
              Range = 143, FirstTab = 144 /* 144..147 */;
}
/// The [Message] and [MessageTitle] entries: the diary cannot be used; an export failed.
constexpr int DiaryUnusableTitle = 26, DiaryUnusableText = 64, DiaryExportFailedText = 65;
/// The [Text] entries that say why the diary cannot be used (one per Diary::Store::Trouble
/// after None), and the line that sets the technical reason apart.
constexpr int DiaryTroubleText = 320, DiaryDetailsText = 328;

/// Tools > Practice Diary: minutes practised per day over the last 4 or 12 weeks (bars), the
/// tempo reached per preset or song (lines), timing feedback's mean and spread (a line in a
/// band), and the sessions in a table that sorts by any column and filters by name and date;
/// the sessions shown export as CSV; one session or all of them can be deleted (after asking).
/// Shows where the diary file is, or that the diary is switched off or cannot be used.
class DiaryDialog : public Dialog {
    Q_OBJECT
public:
    static constexpr int DialogId = 110;
    static constexpr int RangeId = 1501, TabsId = 1502, MinutesChartId = 1503, TempoChartId = 1504,
                         TimingChartId = 1505, NameFilterId = 1506, FromId = 1507, ToId = 1508, TableId = 1509,
                         DeleteId = 1510, DeleteAllId = 1511, ExportId = 1512, PathId = 1513, CloseId = 1514;

    explicit DiaryDialog(const DialogContext& context);
    /// The window over owner for configuration's language and switch and keeper's diary
    /// (null: none), all outliving it.
    DiaryDialog(QWidget* owner, Configuration::IConfiguration& configuration, Diary::Keeper* keeper);
    ~DiaryDialog() override;

    /// Why the diary at path cannot be used, in the current language.
    static QString TroubleText(Diary::Store::Trouble trouble, const QString& path);
    /// The line that gives the technical reason (in English, as the log has it) apart.
    static QString DetailsText(const QString& reason);
    /// Tells that the diary at path cannot be used, in a message box of owner: why, in the
    /// current language, and the technical reason set apart.
    static void TellUnusable(QWidget* owner, Diary::Store::Trouble trouble, const QString& path, const QString& reason);

    /// Reads the sessions from the diary again and shows them.
    void Reload();
    /// Writes the sessions the table shows to path as CSV; false (told) when it cannot.
    bool ExportTo(const QString& path);
    /// The sessions read at the last Reload, oldest first.
    const std::vector<Diary::Session>& Sessions() const { return sessions_; }
    QTableView* Table() const { return table_; }
    QTabWidget* Tabs() const { return tabs_; }

protected:
    void Prepare(int argument) override;
    void Fit() override;

private:
    void ShowTexts();
    void ShowCharts();
    void FitColumns();
    void DeleteSelected();
    void DeleteEverything();
    void Export();

    Configuration::IConfiguration& configuration_;
    Diary::Keeper* keeper_;
    std::vector<Diary::Session> sessions_;
    QLabel* path_ = nullptr;
    QLabel* rangeLabel_ = nullptr;
    QComboBox* range_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QChartView* minutes_ = nullptr;
    QChartView* tempo_ = nullptr;
    QChartView* timing_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* fromLabel_ = nullptr;
    QDateEdit* from_ = nullptr;
    QLabel* toLabel_ = nullptr;
    QDateEdit* to_ = nullptr;
    QTableView* table_ = nullptr;
    DiarySessionModel* model_ = nullptr;
    DiarySessionFilter* filter_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* deleteAll_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* close_ = nullptr;
    QLabel* help_ = nullptr;
};

} // namespace GUI
