#pragma once
// Helpers for the main window tests: a metronome controller that plays nothing and reports as
// the real one does, and a catcher for the message boxes the window shows.
#include "Configuration/FileConfiguration.h"
#include "Core/Engine/IMetronome.h"
#include "GUI/ApplicationWindow.h"
#include "System/CurrentLanguage.h"
#include "TestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <atomic>
#include <functional>
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
    void Stop() override
    {
        ++stops;
        if (inRun.exchange(false))
            handler_->OnStopped(startTempo_);
    }
    void PrepareSounds(const Configuration::ConfigurationData&) override { ++preparations; }
    bool SoundsPrepared(const Configuration::ConfigurationData&) const override { return soundsPrepared; }
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
    int starts = 0, stops = 0, pauses = 0, preparations = 0;
    bool soundsPrepared = true;
    std::vector<std::uint32_t> tempos, volumes;
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

/// What the settings-page tests share: a real settings file in a fresh folder, the log caught,
/// a fake metronome and, once a test opens it, the main window over them. Begin in a test's
/// init(), End in its cleanup().
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

    std::unique_ptr<TestSupport::TempFolder> folder_;
    std::unique_ptr<TestSupport::ScopedLog> log_;
    std::unique_ptr<Configuration::FileConfiguration> configuration_;
    std::unique_ptr<FakeMetronome> metronome_;
    std::unique_ptr<GUI::ApplicationWindow> window_;
};

} // namespace WindowTest
