#pragma once
#include <QStringList>

#include <string>

namespace GUI {

class ApplicationWindow;
class SingleInstance;

/// The program's life cycle in the main window: start-up (one copy only, the settings, the
/// text tables of the configured language, the platform check, the window with its controls,
/// control help and shortcuts), the current text tables and their switch to another language,
/// and shutdown with the settings saved. Part of the window, which passes these on to it.
/// GUI thread only.
class ApplicationWindowStartup {
public:
    explicit ApplicationWindowStartup(ApplicationWindow& window);

    /// Runs start-up. False when the program should end (another copy runs, or the platform
    /// is refused, after telling the user); the window is then not shown.
    bool Run();
    /// Makes the text tables of language name (empty: the built-in English tables) current.
    /// False, with the reason in the log, when the language file cannot be used; the previous
    /// tables stay current then.
    bool InitialiseLanguage(const std::u16string& name);
    /// Makes the tables of language name current; when the file cannot be used the built-in
    /// English tables take over and the language setting is emptied (false then).
    bool SwitchLanguage(const std::u16string& name);
    /// Stops a playing metronome, removes the control hooks and saves the settings. Once.
    void Shutdown();
    /// Saves the settings unless the window has shut down already.
    void SaveOnAbruptEnd();

    bool ShutDown() const { return shutDown_; }
    /// 0 none yet, 1 built-in English tables, 2 a language file.
    int LanguageKind() const { return languageKind_; }
    const QStringList& RefusedRequests() const { return refused_; }
    SingleInstance* Instance() const { return instance_; }

private:
    bool CheckSingleInstance();
    bool SystemCheck();
    void TellSavingRefused();
    /// Says what the command line asked for and did not get (a preset that does not exist) or
    /// does not get in full (a tempo while the speed trainer is on).
    void TellCommandLine(const QString& text);
    /// Names the first settings line the load did not understand (kept in the file).
    void TellUnreadLines();

    ApplicationWindow& window_;
    SingleInstance* instance_ = nullptr; // a child of the window
    QStringList refused_;
    int languageKind_ = 0;
    bool shutDown_ = false;
};

} // namespace GUI
