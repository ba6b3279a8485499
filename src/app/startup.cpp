#include "app/startup.h"

#include "platform/codepage.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "storage/atomic_file.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 MinimumTemplateSize = 300;
const QFileDevice::Permissions OwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Follows the steps of the sequence, remembering the text of the one in
// progress so a failure can name it.
class StartupSteps
{
public:
    explicit StartupSteps(const StartupInput& input) : m_input(input) {}

    StartupResult run();

private:
    bool fail();
    bool findUserFolder();
    bool makeFolder(const QString& path);
    bool makeDataFolders();
    bool copyTemplateIfMissing();
    bool readSettings();
    bool askRunPassword() const;

    const StartupInput& m_input;
    StartupResult m_result;
    QString m_userFolder;
};

StartupResult StartupSteps::run()
{
    if (!findUserFolder() || !makeDataFolders() || !copyTemplateIfMissing() || !readSettings())
        return m_result;
    if (!askRunPassword()) {
        m_result.outcome = StartupResult::EndSilently;
        return m_result;
    }
    m_result.outcome = StartupResult::ShowWindow;
    return m_result;
}

bool StartupSteps::fail()
{
    m_result.outcome = StartupResult::Failed;
    if (m_input.prompter) {
        m_input.prompter->showMessage(programTitle(),
                                      programTitle() + " Unable To Run: " + m_result.startupStep);
    }
    return false;
}

bool StartupSteps::findUserFolder()
{
    // The home folder stands in for the profile folder; with none, the
    // last fallback's text names the failure.
    m_result.startupStep = QStringLiteral("App Start-Up, Error Geting Your XP-NT User Dir");
    m_userFolder = m_input.homeFolder;
    while (m_userFolder.size() > 1 && m_userFolder.endsWith('/'))
        m_userFolder.chop(1);
    if (m_userFolder.isEmpty() || checkFolder(m_userFolder) != 0) {
        m_result.startupStep =
            QStringLiteral("App Start-Up, Error Geting Your XP-NT User Dir, Then Default User Dir");
        return fail();
    }
    if (m_userFolder == QLatin1String("/"))
        m_userFolder.clear();
    return true;
}

bool StartupSteps::makeFolder(const QString& path)
{
    m_result.startupStep = path + " Dir, or Error Creating It";
    if (checkFolder(path) == 0)
        return true;
    if (!QDir().mkdir(path, OwnerOnlyFolder))
        return fail();
    return true;
}

bool StartupSteps::makeDataFolders()
{
    m_result.startupStep = QStringLiteral(
        "App Start-Up, Error Accessing Or Creating App Data Sub-Dirs In XP-NT User Dir");
    const QString appData = m_userFolder + "/Application Data";
    m_result.dataFolder = appData + '/' + programTitle();
    return makeFolder(appData) && makeFolder(m_result.dataFolder);
}

bool StartupSteps::copyTemplateIfMissing()
{
    m_result.startupStep = QStringLiteral("No App Data\\App\\Ini File, Error Copying It");
    const QString templatePath = m_input.programFolder + "/quorvamel.ini";
    if (checkFile(templatePath) != 0 || QFileInfo(templatePath).size() < MinimumTemplateSize)
        return fail();
    m_result.settingsPath = m_result.dataFolder + "/quorvamel.ini";
    if (checkFile(m_result.settingsPath) == 0)
        return true;

    QFile source(templatePath);
    if (!source.open(QIODevice::ReadOnly))
        return fail();
    // Written whole or not at all, and owner-only: the file will hold the
    // scrambled passwords.
    if (!writeFileAtomically(m_result.settingsPath, source.readAll()))
        return fail();
    return true;
}

bool StartupSteps::readSettings()
{
    m_result.startupStep = "No.. " + m_result.settingsPath + " ..Or Error Opening Or Reading It";
    SettingsRecord record;
    if (!readSettingsFile(m_result.settingsPath, record, nullptr))
        return fail();
    m_result.firstRunMarker = record.firstRunMarker;
    m_result.runPassword = unscramblePassword(fromAnsi(record.scrambledRunPassword)).trimmed();
    return true;
}

bool StartupSteps::askRunPassword() const
{
    if (m_result.runPassword.isEmpty())
        return true;
    if (!m_input.prompter)
        return false;
    const QString entered = m_input.prompter->askText(
        programTitle(), QStringLiteral("Enter Your Password In The Box."));
    return entered == m_result.runPassword;
}

} // namespace

int checkFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return MissingPathCode;
    return info.isDir() ? NotAFileCode : 0;
}

int checkFolder(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return MissingPathCode;
    return info.isDir() ? 0 : NotAFileCode;
}

QString programFolderFrom(const QString& applicationDirPath)
{
    QString folder = QDir::fromNativeSeparators(applicationDirPath);
    while (folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

StartupResult runStartupSequence(const StartupInput& input)
{
    return StartupSteps(input).run();
}
