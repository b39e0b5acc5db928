// The step sequencer window on a controller that plays nothing: layout, mouse editing, the
// rubber band, the paste marker, Play against Save, Cancel, editing while playing, and the
// cursor against the timer strategy's own steps and their heard times.
#include "Core/Engine/BeatStrategies.h"
#include "Core/Engine/StepSequencerTimerStrategy.h"
#include "GUI/StepSequencerControl.h"
#include "GUI/StepSequencerDialog.h"
#include "Platform/Clock.h"
#include "WindowTestSupport.h"

#include <QtTest>

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>

using GUI::StepSequencerControl;
using GUI::StepSequencerDialog;
using StepSequencer::StepSequencerGrid;

namespace {

using Text = std::u16string;

auto Hits(const std::u16string& rhythm)
{
    return std::count_if(rhythm.begin(), rhythm.end(), [](char16_t c) { return c != u' ' && c != u'[' && c != u']'; });
}

} // namespace

class StepSequencerDialogTest : public QObject, private WindowTest::SettingsRig {
    Q_OBJECT

private:
    std::unique_ptr<StepSequencerDialog> dialog_;

    StepSequencerControl& Open(int bars, int beats, int subdivision, QSize size = {810, 401})
    {
        Configuration::ConfigurationData& current = Current();
        current.CrNumBars = bars;
        current.CrBeatsPerBar = beats;
        current.CrSubdivision = current.DisplayedSubdiv = subdivision;
        current.CrCompoundTime = 0;
        current.CustomRhythm.clear();
        current.DisplayDistinct = 0;
        dialog_ = std::make_unique<StepSequencerDialog>(*metronome_, *configuration_);
        dialog_->TakeCurrentSettings(current);
        dialog_->resize(size);
        dialog_->Initialise(0);
        dialog_->show();
        if (!QTest::qWaitForWindowExposed(dialog_.get()))
            qFatal("window not shown");
        return dialog_->Grid();
    }
    StepSequencerControl& Grid() { return dialog_->Grid(); }
    void Mouse(QEvent::Type type, QPoint point, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(type, QPointF(point), Grid().mapToGlobal(QPointF(point)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&Grid(), &event);
    }
    void Click(QPoint point)
    {
        Mouse(QEvent::MouseButtonPress, point);
        Mouse(QEvent::MouseButtonRelease, point, Qt::NoButton);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&Grid(), static_cast<Qt::Key>(key), modifiers);
    }
    std::uint8_t Cell(int displayRow, int column)
    {
        return Grid().Grid().Cell(Grid().Grid().RowOfDisplayRow(displayRow), column);
    }
    bool Hit(int displayRow, int column) { return StepSequencerGrid::IsHit(Cell(displayRow, column)); }
    void Button(int id) { qobject_cast<QPushButton*>(dialog_->Control(id))->click(); }

private slots:
    void init() { Begin(); }
    void cleanup()
    {
        dialog_.reset();
        End();
    }

    // At its first size in every shipped language the window shows every text whole, is at
    // least as large as in English and fits a 1280 x 800 screen.
    void EveryShippedLanguageFits_data() { WindowTest::ShippedLanguageRows(); }
    void EveryShippedLanguageFits()
    {
        QFETCH(QString, language);
        WindowTest::UseShippedLanguage(language);
        StepSequencerDialog dialog(*metronome_, *configuration_);
        dialog.TakeCurrentSettings(Current());
        dialog.Initialise(0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(WindowTest::Unfit(dialog, QStringLiteral("step")), QString());
        QVERIFY(dialog.width() >= StepSequencerDialog::MinimumWidth && dialog.height() >= StepSequencerDialog::MinimumHeight);
    }

    void LayoutOfWindowAndGrid()
    {
        StepSequencerControl& grid = Open(4, 16, 8);
        // The grid takes what the window grows by.
        const int width = grid.ClientWidth();
        dialog_->resize(dialog_->width() + 90, 500);
        QTRY_COMPARE(grid.ClientWidth(), width + 90);
        // 512 columns do not fit: the narrowest columns and a scroll range past the last one.
        QCOMPARE(grid.ColumnWidth(), 16);
        QVERIFY(grid.ScrollBar()->isEnabled());
        QCOMPARE(grid.ScrollMaximum(), 16 * 512 - grid.ClientWidth() + 200);
        grid.ScrollTo(StepSequencerControl::ThumbPosition, 1 << 20);
        QCOMPARE(grid.ScrollOffset(), grid.ScrollMaximum());
        // Fewer columns fit again: no scrolling is left.
        auto* bars = qobject_cast<QComboBox*>(dialog_->Control(StepSequencerDialog::BarsId));
        bars->setCurrentIndex(0);
        emit bars->activated(0);
        QCOMPARE(grid.Grid().ColumnCount(), 128);
        QCOMPARE(grid.ScrollOffset(), grid.ScrollMaximum());
    }

    void MouseTogglesBandsAndMovesTheMarker()
    {
        StepSequencerControl& grid = Open(1, 4, 2);
        // Press and release on an empty cell adds a hit, on a hit removes it.
        Click(grid.CellCentre(1, 3) + QPoint(3, 2));
        QVERIFY(Hit(1, 3));
        Click(grid.CellCentre(2, 5));
        Click(grid.CellCentre(4, 7)); // the last column counts too
        Click(grid.CellCentre(2, 5));
        QVERIFY(!Hit(2, 5));
        Click(grid.CellCentre(2, 5));
        QCOMPARE(grid.Grid().HitCount(), 3);

        // A band from an empty spot selects exactly the hits whose centres it covers.
        const QPoint from = grid.CellCentre(1, 2) + QPoint(4, -8);
        const QPoint to = grid.CellCentre(2, 5) + QPoint(1, 1);
        Mouse(QEvent::MouseButtonPress, from);
        Mouse(QEvent::MouseMove, from);
        Mouse(QEvent::MouseMove, to);
        Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
        QCOMPARE(grid.Grid().SelectedCount(), 2);
        QVERIFY(StepSequencerGrid::IsSelected(Cell(1, 3)));
        QVERIFY(StepSequencerGrid::IsSelected(Cell(2, 5)));
        // The next click only clears the selection.
        Click(grid.CellCentre(0, 0));
        QCOMPARE(grid.Grid().SelectedCount(), 0);
        QVERIFY(!Hit(0, 0));

        // The header strip: just left of a column line moves the paste marker there.
        const QPoint line = grid.CellCentre(0, 5);
        Click({line.x() - 3, 24});
        QCOMPARE(grid.Grid().PasteColumn(), 5);
        Click({line.x() + 6, 24});
        QCOMPARE(grid.Grid().PasteColumn(), 5);
        auto* beats = qobject_cast<QComboBox*>(dialog_->Control(StepSequencerDialog::BeatsId));
        beats->setCurrentIndex(3);
        emit beats->activated(3);
        QCOMPARE(grid.Grid().PasteColumn(), 0);
    }

    void DragMovesAHitOrDropsNothingOutside()
    {
        const struct {
            const char* name;
            QPoint to; // (display row, column); a negative row: below the grid, on the scroll bar
            bool dropped;
        } cases[] = {{"onto a cell", {2, 5}, true}, {"outside the cells", {-1, 5}, false}};
        for (const auto& entry : cases) {
            StepSequencerControl& grid = Open(1, 4, 2);
            Click(grid.CellCentre(1, 3));
            const QPoint to = entry.to.x() < 0 ? QPoint(grid.CellCentre(0, 5).x(), grid.height() - 2)
                                               : grid.CellCentre(entry.to.x(), entry.to.y());
            Mouse(QEvent::MouseButtonPress, grid.CellCentre(1, 3));
            Mouse(QEvent::MouseMove, to);
            const QCursor shown = entry.dropped ? StepSequencerControl::DragCursor() : StepSequencerControl::NoDropCursor();
            QVERIFY2(grid.cursor().pixmap().toImage() == shown.pixmap().toImage(), entry.name);
            Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
            QVERIFY2(Hit(1, 3) != entry.dropped && Hit(2, 5) == entry.dropped, entry.name);
            QCOMPARE(grid.Grid().HitCount(), 1);
            QCOMPARE(grid.cursor().shape(), Qt::ArrowCursor); // the pointer is given back
        }
    }

    void RefusedPlayAndSaveChangeNothing()
    {
        const struct {
            const char* name;
            bool full;              // every cell hit: too many for the rhythm text
            std::uint32_t startResult;
            int button;
            const char* title;
        } cases[] = {
            {"too many hits to play", true, 0, StepSequencerDialog::PlayId, "Sequence Has Too Many Hits"},
            {"too many hits to save", true, 0, StepSequencerDialog::SaveId, "Sequence Has Too Many Hits"},
            {"start refused", false, 10, StepSequencerDialog::PlayId, "Invalid Custom Rhythm"},
        };
        for (const auto& entry : cases) {
            StepSequencerControl& grid = Open(4, 16, 2);
            const Configuration::ConfigurationData saved = Current();
            for (int row = 0; entry.full && row < grid.Grid().VisibleRowCount(); ++row)
                for (int column = 0; column < grid.Grid().ColumnCount(); ++column)
                    grid.Grid().ToggleCell(row, column);
            metronome_->startResult = entry.startResult;
            WindowTest::MessageCatcher messages;
            Button(entry.button);
            QTRY_COMPARE(messages.shown.size(), std::size_t{1});
            QVERIFY2(messages.shown[0].title.startsWith(QString::fromLatin1(entry.title)), entry.name);
            QVERIFY2(dialog_->isVisible() && !dialog_->Playing() && !grid.CursorRunning() && !metronome_->inRun, entry.name);
            QCOMPARE(metronome_->starts, entry.startResult != 0 ? 1 : 0);
            QVERIFY2(Current() == saved, entry.name);
            cleanup();
            init();
        }
    }

    // Play hands the controller every column; Save stores the coarsest rhythm that holds the
    // hits, Cancel stores nothing; both stop the sound and the cursor.
    void PlayWritesEveryColumnSaveTheCoarsestCancelNothing()
    {
        for (const int button : {StepSequencerDialog::SaveId, StepSequencerDialog::CancelId}) {
            StepSequencerControl& grid = Open(1, 4, 2);
            const Configuration::ConfigurationData before = Current();
            for (int column : {0, 2, 6})
                Click(grid.CellCentre(1, column));
            Button(StepSequencerDialog::PlayId);
            QVERIFY(dialog_->Playing() && grid.CursorRunning());
            QCOMPARE(metronome_->starts, 1);
            const Configuration::ConfigurationData& played = dialog_->Record();
            QCOMPARE(played.SpeedTrainer, Configuration::TrainerMode::StepSequencer);
            QCOMPARE(Text(played.CustomRhythm).size(), std::size_t{8});
            QCOMPARE(Hits(played.CustomRhythm), 3);

            Button(button);
            QVERIFY(!metronome_->inRun && !grid.CursorRunning() && !dialog_->isVisible());
            QCOMPARE(dialog_->result(), 1);
            const Configuration::ConfigurationData& after = Current();
            // (Which text is the coarsest is the grid's own test.)
            if (button == StepSequencerDialog::SaveId)
                QVERIFY(Text(after.CustomRhythm).size() == 4 && Hits(after.CustomRhythm) == 3);
            else
                QVERIFY(after == before);
            cleanup();
            init();
        }
    }

    void WhilePlayingTheMouseIsIgnoredAndKeysEdit()
    {
        StepSequencerControl& grid = Open(1, 4, 2);
        Click(grid.CellCentre(0, 1));
        Click(grid.CellCentre(3, 4));
        Button(StepSequencerDialog::PlayId);
        Click(grid.CellCentre(2, 2));
        Click(grid.CellCentre(0, 1));
        QVERIFY(!Hit(2, 2));
        QVERIFY(Hit(0, 1));
        Key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!Hit(3, 4));
        Key(Qt::Key_A, Qt::ControlModifier);
        Key(Qt::Key_Delete);
        QCOMPARE(grid.Grid().HitCount(), 0);
        QCOMPARE(metronome_->starts, 1);
        Button(StepSequencerDialog::PlayId);
        QVERIFY(!dialog_->Playing());
        QVERIFY(!metronome_->inRun);
    }

    void CursorShowsEachStepWhenHeard()
    {
        // 96 columns: more than the window shows, so the view must follow the bar.
        StepSequencerControl& grid = Open(2, 16, 3);
        for (int column : {0, 1, 17, 40})
            Click(grid.CellCentre(column % 3, column));
        Button(StepSequencerDialog::PlayId);
        // The real strategy ticks for the record that plays; each step it reports must put the
        // bar on that step's column line when the step is heard.
        const Configuration::ConfigurationData record = dialog_->Record();
        Core::StepSequencerTimerStrategy strategy;
        strategy.Initialise(record, {.TicksPerBeat = Core::RhythmStepsPerBeat(record)});
        const int columns = grid.Grid().ColumnCount();
        const int frames = StepSequencerControl::CursorFramesPerColumn(record.Bpm, Core::RhythmStepsPerBeat(record));
        const auto column = [&] { return grid.CursorFrame() / frames; };
        for (int step = 0; step <= columns; ++step) {
            Platform::TickContext tick;
            tick.heardTime = Platform::Clock::Now() + (step == 0 ? 300'000'000 : 0);
            Platform::SetCurrentTick(&tick);
            dialog_->OnBeat(static_cast<std::uint8_t>(strategy.OnTick(0) & 0xFF), 0);
            Platform::SetCurrentTick(nullptr);
            // The first step is handed over well before it is heard: no bar until then.
            while (step == 0 && Platform::Clock::Now() < tick.heardTime - 50'000'000) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                QCOMPARE(grid.CursorFrame(), -1);
            }
            QVERIFY(QTest::qWaitFor([&] { return column() == step % columns; }, 20000));
            QCOMPARE(grid.CursorX(), StepSequencerControl::FirstColumnX +
                                         grid.CursorFrame() * double(grid.ColumnWidth()) / frames);
            if (step == 0) {
                // Between steps the bar moves on by itself, and waits at the column's last frame.
                QVERIFY(QTest::qWaitFor([&] { return grid.CursorFrame() == frames - 1; }, 20000));
            }
            if (step == columns - 1)
                QVERIFY(grid.ScrollOffset() > 0);
        }
        // The bar wrapped to the first column and the view jumped back to the start.
        QCOMPARE(grid.ScrollOffset(), 0);
        grid.StopCursor();
        QVERIFY(!grid.CursorRunning());
    }
};

QTEST_MAIN(StepSequencerDialogTest)
#include "StepSequencerDialogTest.moc"
