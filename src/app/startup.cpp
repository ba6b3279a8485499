#include "app/startup.h"

#include "platform/codepage.h"
#include "platform/program_title.h"
#include "platform/prompter.h"
#include "storage/atomic_file.h"
#include "storage/file_checks.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/trusted_certificates.h"
#include "storage/users_file.h"

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
    bool checkOtherDataFiles();
    bool askRunPassword() const;

    const StartupInput& m_input;
    StartupResult m_result;
    QString m_userFolder;
};

StartupResult StartupSteps::run()
{
    if (!findUserFolder() || !makeDataFolders() || !copyTemplateIfMissing() || !readSettings() ||
        !checkOtherDataFiles())
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
        m_input.prompter->showMessage(MessageKind::Error, programTitle(),
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
    if (!makeFolder(appData) || !makeFolder(m_result.dataFolder))
        return false;
    // A folder made earlier, or by someone else, may be open to others; it
    // holds the passwords, so it is made owner-only or not used.
    return makeFolderOwnerOnly(m_result.dataFolder) || fail();
}

bool StartupSteps::copyTemplateIfMissing()
{
    m_result.startupStep = QStringLiteral("No App Data\\App\\Ini File, Error Copying It");
    const QString templatePath = m_input.programFolder + '/' + SettingsFileName;
    if (checkFile(templatePath) != 0 || QFileInfo(templatePath).size() < MinimumTemplateSize)
        return fail();
    m_result.settingsPath = m_result.dataFolder + '/' + SettingsFileName;
    if (checkFile(m_result.settingsPath) == 0)
        return true;

    QFile source;
    if (!openRegularFile(source, templatePath))
        return fail();
    // Written whole or not at all, and owner-only: the file will hold the
    // scrambled passwords.
    if (!writeFileAtomically(m_result.settingsPath, source.readAll()))
        return fail();
    return true;
}

bool StartupSteps::readSettings()
{
    m_result.startupStep = dataFileStep(m_result.settingsPath);
    SettingsRecord record;
    if (!readSettingsFile(m_result.settingsPath, record, nullptr) ||
        !makeFileOwnerOnly(m_result.settingsPath))
        return fail();
    m_result.firstRunMarker = record.firstRunMarker;
    m_result.runPassword = unscramblePassword(fromAnsi(record.scrambledRunPassword)).trimmed();
    return true;
}

bool StartupSteps::checkOtherDataFiles()
{
    // Read later, by the window: anything but a regular file in their place
    // (a FIFO would block the open for ever) is refused now, unopened.
    for (const QString& name : {UsersFileName, TrustedCertificates::FileName}) {
        const QString path = m_result.dataFolder + '/' + name;
        m_result.startupStep = dataFileStep(path);
        if (pathKind(path) == PathKind::Other || !makeFileOwnerOnly(path))
            return fail();
    }
    return true;
}

bool StartupSteps::askRunPassword() const
{
    if (m_result.runPassword.isEmpty())
        return true;
    if (!m_input.prompter)
        return false;
    const QString entered = m_input.prompter->askText(
        programTitle(), QStringLiteral("Enter Your Password In The Box."), EntryEcho::Masked);
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

QString dataFileStep(const QString& path)
{
    return "No.. " + path + " ..Or Error Opening Or Reading It";
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
