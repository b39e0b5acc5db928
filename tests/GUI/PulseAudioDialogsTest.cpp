// What a user sets in the windows, heard through a private PulseAudio server's null sink: the
// real program (engine, RtAudio output) under the real main window, the sink's monitor
// recorded with parec. A rhythm drawn in the step sequencer sounds each hit on its column's
// frame; Beats Per Bar with a subdivision chosen on the Options page sounds the louder accent
// on every bar's first beat and the subdivision halfway between the beats.
#include "AudioTestSupport.h"
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/Program.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/OptionsDialog.h"
#include "GUI/Dialogs/SettingsDialog.h"
#include "GUI/StepSequencerControl.h"
#include "GUI/StepSequencerDialog.h"
#include "GUI/VisualBeatIndicator.h"
#include "PrivatePulseAudio.h"
#include "System/CurrentLanguage.h"
#include "TestSupport.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using GUI::ApplicationWindow;
using GUI::OptionsDialog;

namespace {

constexpr float Threshold = 1e-4f; // three steps of 16 bits above silence

/// Whether a recording's onsets lie on a loop's frames, played over and over: a sound played
/// again lands on exactly its frame a loop later; different sounds cross the threshold at
/// different points of their attacks (a soft or muffled one later), up to 16 frames off their
/// expected distance from the first onset. The misses are logged.
bool OnTheirFrames(const std::vector<std::size_t>& onsets, std::size_t perLoop,
                   const std::function<double(std::size_t)>& expected)
{
    double largest = 0, largestLoop = 0;
    QString listed;
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        const double miss = static_cast<double>(onsets[k] - onsets[0]) - (expected(k) - expected(0));
        largest = std::max(largest, std::abs(miss));
        listed += QStringLiteral(" %1").arg(miss);
        if (k >= perLoop) {
            const double loop = static_cast<double>(onsets[k] - onsets[k - perLoop]);
            largestLoop = std::max(largestLoop, std::abs(loop - (expected(k) - expected(k - perLoop))));
        }
    }
    qInfo("%zu onsets; frames off their places:%s; a loop later: %g", onsets.size(), qPrintable(listed), largestLoop);
    return largestLoop <= 1.0 && largest <= 16.0;
}

} // namespace

class PulseAudioDialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::TempFolder> folder_;
    std::unique_ptr<TestSupport::PrivatePulseAudio> pulse_;
    std::unique_ptr<Configuration::FileConfiguration> configuration_;
    std::unique_ptr<Core::Program> program_;
    std::unique_ptr<ApplicationWindow> window_;

    Configuration::ConfigurationData& Current() { return configuration_->GetData(); }
    GUI::SettingsDialog& OpenSettings()
    {
        auto* dialog = qobject_cast<GUI::SettingsDialog*>(window_->DialogFor(ApplicationWindow::OptionsCommand));
        dialog->Initialise(GUI::SettingsDialog::OptionsPage);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            qFatal("settings not shown");
        return *dialog;
    }
    /// The sink's monitor while play runs, and the sounds' last tails after it.
    std::vector<float> Record(const std::function<void()>& play)
    {
        TestSupport::MonitorRecorder recorder(*pulse_, *folder_ / "monitor.raw", 20);
        if (!recorder.Ready())
            return {};
        QTest::qWait(300);
        play();
        QTest::qWait(800);
        return recorder.Stop();
    }

private slots:
    void initTestCase()
    {
        folder_ = std::make_unique<TestSupport::TempFolder>();
        pulse_ = std::make_unique<TestSupport::PrivatePulseAudio>(folder_->Path(), "tolvane_dialogs");
        if (!pulse_->Ready())
            QSKIP(qPrintable("pulseaudio could not be started here: " +
                             QString::fromStdString(TestSupport::ReadFile(pulse_->ErrorLog()))));
        for (const std::string& variable : pulse_->Environment())
            qputenv(variable.substr(0, variable.find('=')).c_str(), variable.substr(variable.find('=') + 1).c_str());
        // A JACK server on the machine must not take the output instead of ours.
        qputenv("JACK_NO_START_SERVER", "1");
        qputenv("JACK_DEFAULT_SERVER", "tolvane-tests-none");
        System::SetCurrentLanguage(nullptr);
        configuration_ = std::make_unique<Configuration::FileConfiguration>(*folder_ / "Tolvane.conf");
        Current().Bpm = 100; // a beat every 26460 frames
        for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
            Current().Instrument[voice] = 5; // claves: short, so that each click has died away before the next
        program_ = std::make_unique<Core::Program>();
        GUI::ApplicationWindowOptions options;
        options.singleInstance = false;
        options.languageFolder = folder_->Path();
        options.helpFolder = folder_->Path();
        window_ = std::make_unique<ApplicationWindow>(program_->Controller(), *configuration_, options);
        QVERIFY(window_->Startup());
        program_->Controller().SetBeatIndicator(window_->BeatIndicator());
    }
    void cleanupTestCase()
    {
        if (program_)
            program_->Controller().SetBeatIndicator(nullptr);
        window_.reset();
        program_.reset();
        pulse_.reset();
    }

    void DrawnHitsSoundOnTheirColumns()
    {
        // One bar of 4/4 in sixteenths: a column every 6615 frames, a loop of 16 columns.
        Current().CrNumBars = 1;
        Current().CrBeatsPerBar = 4;
        Current().CrSubdivision = Current().DisplayedSubdiv = 4;
        Current().DisplayDistinct = 0;
        Current().CustomRhythm.clear();
        const std::array<int, 4> instruments = {5, 18, 43, 28}; // claves, wood blocks, side stick
        for (int voice = 0; voice < 4; ++voice)
            Current().Instrument[voice] = instruments[voice];
        GUI::SettingsDialog& settings = OpenSettings();
        settings.Options().OpenStepSequencer(false);
        GUI::StepSequencerDialog& sequencer = *settings.Options().StepSequencer();
        sequencer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sequencer));
        // (row, column): four voices, at least three columns apart, around the loop too.
        const std::array<QPoint, 5> hits = {QPoint{0, 0}, {1, 3}, {2, 7}, {0, 10}, {3, 13}};
        for (const QPoint hit : hits)
            QTest::mouseClick(&sequencer.Grid(), Qt::LeftButton, {}, sequencer.Grid().CellCentre(hit.x(), hit.y()));
        QCOMPARE(sequencer.Grid().Grid().HitCount(), 5);
        auto* play = qobject_cast<QPushButton*>(sequencer.Control(GUI::StepSequencerDialog::PlayId));
        const std::vector<float> capture = Record([&] {
            play->click();
            QVERIFY(sequencer.Playing());
            QTest::qWait(6000);
            play->click();
        });
        sequencer.done(1);
        settings.done(1);

        const auto onsets = AudioTest::Onsets(capture, 2 * 6615, Threshold);
        QVERIFY2(onsets.size() >= 2 * hits.size(), qPrintable(QStringLiteral("%1 hits").arg(onsets.size())));
        QVERIFY(OnTheirFrames(onsets, hits.size(), [&](std::size_t k) {
            return 6615.0 * static_cast<double>(16 * (k / hits.size()) + hits[k % hits.size()].y());
        }));
    }

    void OptionsPageAccentsAndSubdivisionsAreHeard()
    {
        // One instrument at three volumes: the loudness tells accent, beat and subdivision apart.
        for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
            Current().Instrument[voice] = 5;
        Current().Volume[0] = 127; // accent
        Current().Volume[1] = 80;  // beat
        Current().Volume[3] = 45;  // first subdivision
        GUI::SettingsDialog& settings = OpenSettings();
        qobject_cast<QRadioButton*>(settings.Options().Control(OptionsDialog::BeatsPerBarId))->click();
        qobject_cast<QLineEdit*>(settings.Options().Control(OptionsDialog::BarsEditId))->setText(QStringLiteral("3"));
        qobject_cast<QComboBox*>(settings.Options().Control(OptionsDialog::Subdivision1Id))->setCurrentIndex(1); // "2"
        settings.Accept();
        QVERIFY(!settings.isVisible());
        const std::vector<float> capture = Record([&] {
            window_->OnCommand(ApplicationWindow::StartStopId);
            QTRY_VERIFY_WITH_TIMEOUT(window_->Running(), 60000); // the sounds may still be being prepared
            QTest::qWait(5000);
            window_->OnCommand(ApplicationWindow::StartStopId);
        });

        // A click every half beat, 13230 frames; per bar accent, sub, beat, sub, beat, sub.
        const auto onsets = AudioTest::Onsets(capture, 12000, Threshold);
        QVERIFY2(onsets.size() >= 12, qPrintable(QStringLiteral("%1 clicks").arg(onsets.size())));
        QVERIFY(OnTheirFrames(onsets, 6, [](std::size_t k) { return 13230.0 * static_cast<double>(k); }));
        std::array<float, 3> softest = {1, 1, 1}, loudest = {0, 0, 0}; // accent, beat, subdivision
        for (std::size_t k = 0; k < onsets.size(); ++k) {
            const std::size_t role = k % 6 == 0 ? 0 : k % 2 == 0 ? 1 : 2;
            const float peak = AudioTest::Peak(capture, onsets[k], onsets[k] + 2000);
            softest[role] = std::min(softest[role], peak);
            loudest[role] = std::max(loudest[role], peak);
        }
        qInfo("peaks: accent %.3f-%.3f, beat %.3f-%.3f, subdivision %.3f-%.3f", softest[0], loudest[0], softest[1],
              loudest[1], softest[2], loudest[2]);
        QVERIFY(softest[0] > loudest[1] && softest[1] > loudest[2]);
    }
};

QTEST_MAIN(PulseAudioDialogsTest)
#include "PulseAudioDialogsTest.moc"
