#pragma once
// Helpers for the window and dialog tests: a metronome controller that plays nothing and reports
// as the real one does, a catcher for the message boxes shown, and the set-up they share.
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/IMetronome.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/Dialogs/SettingsDialog.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <vector>

namespace WindowTest {

/// Plays nothing; reports OnTrainerStarted and OnStopped on the calling thread like the real
/// controller, and counts what it is asked.
class FakeMetronome final : public Core::IMetronome {
public:
    std::uint32_t Start(Core::IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings) override
    {
        ++starts;
        if (startResult != 0)
            return startResult;
        handler_ = handler;
        startTempo_ = static_cast<std::uint32_t>(settings.Bpm);
        inRun = true;
        if (settings.SpeedTrainer != Configuration::TrainerMode::Off)
            handler->OnTrainerStarted(trainerTempo, true);
        return 0;
    }
    void Stop() override { EndRun(); }
    void PrepareSounds(const Configuration::ConfigurationData&) override { ++preparations; }
    bool SoundsPrepared(const Configuration::ConfigurationData&) const override
    {
        ++preparedAsked;
        return soundsPrepared;
    }
    std::uint32_t StartSong(Core::IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                            const Core::Song& song, const Core::SongStart& start) override
    {
        songStarts.push_back(song.name + " " + std::to_string(start.fromPart) + " " + std::to_string(start.scale));
        return Start(handler, settings);
    }
    void MoveInSong(Core::SongMove move, bool atOnce) override { moves.push_back(static_cast<int>(move) * (atOnce ? -1 : 1)); }
    bool PlayingSong() const override { return inRun && !songStarts.empty(); }
    void TogglePause() override { ++pauses; }
    void ChangeTempo(std::uint32_t bpm) override { tempos.push_back(bpm); }
    void ChangeVolume(const std::int32_t (&)[Configuration::VoiceCount], std::uint32_t globalVolume) override
    {
        volumes.push_back(globalVolume);
    }
    /// The run ends by itself (as at the end of a speed-trainer run), reported from the
    /// calling thread.
    void EndRun()
    {
        if (inRun.exchange(false))
            handler_->OnStopped(startTempo_);
    }
    Core::IMetronomeEventHandler* Handler() const { return handler_; }

    std::uint32_t startResult = 0;
    std::uint32_t trainerTempo = 60;
    int starts = 0, pauses = 0, preparations = 0;
    mutable int preparedAsked = 0;
    bool soundsPrepared = true;
    std::vector<std::uint32_t> tempos, volumes;
    std::vector<std::string> songStarts; ///< "name fromPart scale"
    std::vector<int> moves;              ///< SongMove, negative at once
    std::atomic<bool> inRun{false};

private:
    Core::IMetronomeEventHandler* handler_ = nullptr;
    std::uint32_t startTempo_ = 0;
};

struct ShownMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

/// Records and closes every message box that appears while it lives, answering `answer`.
class MessageCatcher {
public:
    MessageCatcher()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box && box->isVisible()) {
                    shown.push_back({box->windowTitle(), box->text(), box->icon()});
                    box->done(answer);
                }
            }
        });
        timer_.start();
    }
    std::vector<ShownMessage> shown;
    QMessageBox::StandardButton answer = QMessageBox::Ok;

private:
    QTimer timer_;
};

/// The titles of the boxes shown, in order.
inline QStringList Titles(const MessageCatcher& messages)
{
    QStringList titles;
    for (const auto& message : messages.shown)
        titles << message.title;
    return titles;
}

/// A language file: its signature, then the sections given.
inline std::string LanguageFile(const std::string& sections) { return "\xEF\xBB\xBF@lng\n" + sections; }

/// With TOLVANE_SCREENSHOTS=<folder>, saves what the widget shows there as name-<row>.png, the
/// row being the test's language.
inline void Screenshot(QWidget& widget, const QString& name)
{
    if (const QString folder = qEnvironmentVariable("TOLVANE_SCREENSHOTS"); !folder.isEmpty())
        widget.grab().save(folder + u'/' + name + u'-' + QLatin1String(QTest::currentDataTag()) + QStringLiteral(".png"));
}

/// The first of a page's controls (its children and those of its group boxes) that leaves the
/// page or cuts its text; empty when all fit.
inline QString Unfitting(QWidget& page)
{
    for (QWidget* control : page.findChildren<QWidget*>()) {
        const bool grouped = control->parentWidget() == &page || qobject_cast<QGroupBox*>(control->parentWidget());
        if (!grouped || !control->isVisibleTo(&page))
            continue;
        const bool texted = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLabel*>(control);
        const QRect inPage(control->mapTo(&page, QPoint(0, 0)), control->size());
        if (!page.rect().contains(inPage) || (texted && control->sizeHint().width() > control->width()))
            return control->property("controlId").toString() + control->metaObject()->className();
    }
    return {};
}

/// What is wrong with a shown window: a size beyond a 1280 x 800 screen, or its first control
/// cut or outside it; empty when all fits. Saves its screenshot first.
inline QString Unfit(QWidget& window, const QString& name)
{
    Screenshot(window, name);
    if (window.width() > 1280 || window.height() > 800)
        return QStringLiteral("%1 x %2").arg(window.width()).arg(window.height());
    return Unfitting(window);
}

#ifdef TOLVANE_LANG_SOURCE_DIR
/// A language test's rows: the built-in English ("en", language "") and every shipped
/// language, tagged by its file's name.
inline void ShippedLanguageRows()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("en") << QString();
    for (const QString& file : QDir(QStringLiteral(TOLVANE_LANG_SOURCE_DIR)).entryList({QStringLiteral("*.lng")}))
        QTest::newRow(qPrintable(file.chopped(4))) << file.chopped(4);
}
inline void UseShippedLanguage(const QString& language)
{
    System::SetCurrentLanguage(
        language.isEmpty() ? nullptr
                           : System::LoadLanguageFile(TOLVANE_LANG_SOURCE_DIR "/" + language.toStdString() + ".lng"));
}
#endif

/// What the window and dialog tests share: a real settings file in a fresh folder, the log
/// caught, a fake metronome and, once a test opens it, the main window over them. Begin in a
/// test's init(), End in its cleanup().
class SettingsRig {
protected:
    void Begin()
    {
        folder_ = std::make_unique<TestSupport::TempFolder>();
        log_ = std::make_unique<TestSupport::ScopedLog>();
        configuration_ = std::make_unique<Configuration::FileConfiguration>(*folder_ / "Tolvane.conf");
        metronome_ = std::make_unique<FakeMetronome>();
        System::SetCurrentLanguage(nullptr);
    }
    void End()
    {
        window_.reset();
        System::SetCurrentLanguage(nullptr);
        log_.reset();
    }
    Configuration::ConfigurationData& Current() { return configuration_->GetData(); }
    /// The main window, started up, with its languages and manual in the test's folder and
    /// these command-line requests.
    GUI::ApplicationWindow& OpenWindow(const QStringList& requests = {})
    {
        window_.reset();
        GUI::ApplicationWindowOptions options;
        options.singleInstance = false;
        options.requests = requests;
        options.languageFolder = options.helpFolder = folder_->Path();
        window_ = std::make_unique<GUI::ApplicationWindow>(*metronome_, *configuration_, options);
        if (!window_->Startup())
            qFatal("start-up failed");
        return *window_;
    }
    /// A new main window's settings dialog, shown on a page.
    GUI::SettingsDialog& OpenSettings(int page)
    {
        OpenWindow();
        auto* dialog = qobject_cast<GUI::SettingsDialog*>(window_->DialogFor(GUI::ApplicationWindow::OptionsCommand));
        dialog->Initialise(page);
        dialog->show();
        if (!QTest::qWaitForWindowActive(dialog))
            qFatal("dialog not shown");
        return *dialog;
    }

    std::unique_ptr<TestSupport::TempFolder> folder_;
    std::unique_ptr<TestSupport::ScopedLog> log_;
    std::unique_ptr<Configuration::FileConfiguration> configuration_;
    std::unique_ptr<FakeMetronome> metronome_;
    std::unique_ptr<GUI::ApplicationWindow> window_;
};

} // namespace WindowTest
