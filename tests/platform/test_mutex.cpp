#include "platform/Mutex.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// When this test program is started with NAW_MUTEX_HELPER=<name> it is not a test run but a
// second process for the tests below: it takes the named mutex with its lock folders in
// NAW_MUTEX_HELPER_PLACES (the home and the shared temporary folder, ':' between them), says "held"
// (or "busy" and ends), and then waits to be killed. With NAW_MUTEX_HELPER_CHILD set it first starts a
// long "sleep" that would inherit the lock descriptor if it were not close-on-exec, and says
// "child <pid>".
[[maybe_unused]] const int helperHook = [] {
    const QByteArray name = qgetenv("NAW_MUTEX_HELPER");
    if (name.isEmpty())
        return 0;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the test run
    const QList<QByteArray> places = qgetenv("NAW_MUTEX_HELPER_PLACES").split(':');
    fw::Mutex::setPlacesOverride(fw::Mutex::Places{places.value(0), places.value(1)});
    fw::Mutex mutex(QString::fromUtf8(name));
    if (!mutex.TryEnter()) {
        std::printf("busy\n");
        std::fflush(stdout);
        ::_exit(1);
    }
    if (qEnvironmentVariableIsSet("NAW_MUTEX_HELPER_CHILD")) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::printf("child %d\n", int(child));
    }
    std::printf("held\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
}();

class Helper
{
public:
    Helper(const QString& name, bool withChild = false)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NAW_MUTEX_HELPER", name);
        const fw::Mutex::Places places = fw::Mutex::places();
        env.insert("NAW_MUTEX_HELPER_PLACES", QString::fromLocal8Bit(places.home + ':' + places.sharedTemp));
        if (withChild)
            env.insert("NAW_MUTEX_HELPER_CHILD", "1");
        m_process.setProcessEnvironment(env);
        m_process.start(QCoreApplication::applicationFilePath(), {});
    }
    ~Helper() { kill(); }

    // "held" or "busy"; the child pid is kept.
    QString answer()
    {
        while (m_process.waitForReadyRead(5000) || m_process.canReadLine()) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                if (line.startsWith("child "))
                    m_child = line.mid(6).toInt();
                else
                    return line;
            }
        }
        return QStringLiteral("<no answer>");
    }
    void kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_process.processId()), SIGKILL);
            m_process.waitForFinished(5000);
        }
    }
    int child() const { return m_child; }

private:
    QProcess m_process;
    int m_child = 0;
};

// Lock folders of the test's own, and a name no other run uses.
class Mutex : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_places.isValid());
        fw::Mutex::setPlacesOverride(fw::Mutex::Places{QFile::encodeName(m_places.filePath("home")),
                                                       QFile::encodeName(m_places.filePath("tmp"))});
        ASSERT_TRUE(QDir().mkpath(m_places.filePath("home")) && QDir().mkpath(m_places.filePath("tmp")));
    }
    void TearDown() override { fw::Mutex::setPlacesOverride(testsupport::lockPlaces()); }
    const QString& uniqueName(const char* what)
    {
        return m_name = QStringLiteral("naw test/%1 %2").arg(QString::fromUtf8(what)).arg(::getpid());
    }

private:
    QTemporaryDir m_places;
    QString m_name;
};

TEST_F(Mutex, OtherProcessCannotEnterWhileHeldAndCanAfterLeave)
{
    const QString name = uniqueName("leave");
    fw::Mutex mine(name);
    ASSERT_TRUE(mine.TryEnter()) << mine.errorString().toStdString();
    EXPECT_TRUE(mine.TryEnter()); // already held: still true
    {
        Helper other(name);
        EXPECT_EQ(other.answer(), "busy");
    }
    fw::Mutex sameProcess(name);
    EXPECT_FALSE(sameProcess.TryEnter());

    mine.Leave();
    EXPECT_FALSE(mine.isHeld());
    Helper other(name);
    EXPECT_EQ(other.answer(), "held");
    EXPECT_FALSE(mine.TryEnter());
}

TEST_F(Mutex, LeaveFromANonHolderKeepsTheHoldersLock)
{
    const QString name = uniqueName("nonholder");
    Helper holder(name);
    ASSERT_EQ(holder.answer(), "held");

    fw::Mutex mine(name);
    EXPECT_FALSE(mine.TryEnter());
    mine.Leave();
    {
        fw::Mutex another(name);
        another.Leave();
    } // and its destructor leaves too
    fw::Mutex probe(name);
    EXPECT_FALSE(probe.TryEnter());
    Helper second(name);
    EXPECT_EQ(second.answer(), "busy");
}

TEST_F(Mutex, KilledHolderLeavesNothingStuckEvenWithAChildRunning)
{
    const QString name = uniqueName("killed");
    Helper holder(name, /*withChild=*/true);
    ASSERT_EQ(holder.answer(), "held");
    ASSERT_GT(holder.child(), 0);

    fw::Mutex mine(name);
    EXPECT_FALSE(mine.TryEnter());
    holder.kill(); // SIGKILL: no chance to clean up; its child keeps running
    EXPECT_EQ(::kill(holder.child(), 0), 0);
    // Retried only because the child may not have reached exec yet.
    EXPECT_TRUE(testsupport::waitUntil([&] { return mine.TryEnter(); }, 3000))
        << mine.errorString().toStdString();
    ::kill(holder.child(), SIGKILL);
}

TEST_F(Mutex, NamesBecomeDistinctSafeFileNames)
{
    const QString names[] = {"plain", "a/b", "a_b", "../up", "", "ünï cödé", QString(300, u'x')};
    QStringList files;
    for (const QString& name : names) {
        const QString file = fw::Mutex::fileNameFor(name);
        EXPECT_FALSE(file.contains(u'/') || file.startsWith(u'.') || file.size() > 120) << file.toStdString();
        EXPECT_FALSE(files.contains(file)) << file.toStdString();
        files.append(file);
    }
}



// Taking the home folder from the user database and the shared temporary folder by its fixed name
// keeps every copy on one lock, however its environment names the home and temporary folders.
TEST(MutexPlaces, TheRealPlacesComeFromTheUserNotTheEnvironment)
{
    const std::pair<const char*, QByteArray> saved[] = {{"HOME", qgetenv("HOME")}, {"TMPDIR", qgetenv("TMPDIR")}};
    qputenv("HOME", "/nonexistent/home");
    qputenv("TMPDIR", "/nonexistent/tmp");
    fw::Mutex::setPlacesOverride(std::nullopt);
    const fw::Mutex::Places places = fw::Mutex::places();
    fw::Mutex::setPlacesOverride(testsupport::lockPlaces());
    for (const auto& [name, value] : saved) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(places.home, QByteArray(user->pw_dir));
    EXPECT_EQ(places.sharedTemp, QByteArray("/tmp"));
}

// Where the lock lives, whatever the environment says, and where it moves when a folder is not
// private to the user.
struct FallbackCase {
    const char* name;
    bool homeKnown; // the user database gives a home folder
    // What stands where a lock folder belongs, at home/.local/state/numbers-as-words and at
    // tmp/numbers-as-words-<uid>: "", "link" (to a private folder), "open" (mode 0755), a folder of
    // the user's with the mode given in octal ("0703"), "file", "others" (a folder of mode 0700 that
    // another user owns), "lockLink" (a private folder whose lock file is a link into "real")
    const char* plantedAtHome;
    const char* plantedInTmp;
    const char* expectedFolder; // relative to the test folder, <uid> replaced; "" when no lock is taken
    std::vector<const char*> reasons = {}; // what the error tells when no lock is taken
    bool homeRelative = false; // the user database gives the home folder as a relative path
};

class MutexFallback : public ::testing::TestWithParam<FallbackCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            m_saved.emplace_back(name, qgetenv(name));
        ASSERT_TRUE(QDir().mkpath(path("tmp")) && QDir().mkpath(path("home/.local/state"))
                    && QDir().mkpath(path("real")) && QDir().mkpath(path("run")) && QDir().mkpath(path("env")));
        for (const char* folder : {"real", "run"})
            ::chmod(QFile::encodeName(path(QLatin1String(folder))).constData(), 0700);
        // Private folders that the environment names: none of them may matter.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
        for (const char* name : {"TMPDIR", "HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qputenv(name, QFile::encodeName(path("env")));
        m_umask = ::umask(022); // so that a lock file made for everyone to read would show it
    }
    void TearDown() override
    {
        fw::Mutex::setPlacesOverride(testsupport::lockPlaces());
        ::umask(m_umask);
        for (const auto& [name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    // Puts what `kind` names at path.
    void plant(const QString& at, const QString& kind)
    {
        if (kind == "link") {
            ASSERT_TRUE(QFile::link(path("real"), at));
        } else if (kind == "open" || kind.startsWith(u'0')) {
            ASSERT_TRUE(QDir().mkpath(at));
            ::chmod(QFile::encodeName(at).constData(), kind == "open" ? 0755 : kind.toUInt(nullptr, 8));
        } else if (kind == "file") {
            ASSERT_TRUE(testsupport::writeFile(at, "x"));
        } else if (kind == "others") {
            ASSERT_TRUE(QDir().mkpath(at));
            ::chmod(QFile::encodeName(at).constData(), 0700);
            if (::chown(QFile::encodeName(at).constData(), ::getuid() == 65534 ? 65533 : 65534, gid_t(-1)) != 0)
                GTEST_SKIP() << "no folder can be given to another user here";
        } else if (kind == "lockLink") {
            ASSERT_TRUE(QDir().mkpath(at));
            ::chmod(QFile::encodeName(at).constData(), 0700);
            ASSERT_TRUE(QFile::link(path("real/lock"), at + "/" + fw::Mutex::fileNameFor("naw fallback")));
        }
    }

    QTemporaryDir m_dir;
    std::vector<std::pair<const char*, QByteArray>> m_saved;
    mode_t m_umask = 022;
};

TEST_P(MutexFallback, TheLockLivesOnlyInAFolderPrivateToTheUser)
{
    const FallbackCase& c = GetParam();
    const QString uid = QString::number(::getuid());
    QByteArray home = c.homeKnown ? QFile::encodeName(path("home")) : QByteArray();
    if (c.homeRelative) {
        // One that would lead from the working folder to a usable home.
        home = QFile::encodeName(QDir::current().relativeFilePath(path("home")));
        ASSERT_FALSE(home.startsWith('/'));
    }
    fw::Mutex::setPlacesOverride(fw::Mutex::Places{home, QFile::encodeName(path("tmp"))});
    plant(path("home/.local/state/numbers-as-words"), QLatin1String(c.plantedAtHome));
    plant(path("tmp/numbers-as-words-" + uid), QLatin1String(c.plantedInTmp));
    if (IsSkipped())
        return;

    fw::Mutex mine(QStringLiteral("naw fallback"));
    if (!*c.expectedFolder) {
        // No lock is taken, and the reason says so; nothing is followed through a link.
        EXPECT_FALSE(mine.TryEnter());
        EXPECT_FALSE(mine.heldElsewhere());
        EXPECT_FALSE(mine.errorString().isEmpty());
        for (const char* reason : c.reasons)
            EXPECT_TRUE(mine.errorString().contains(QString::fromUtf8(reason).replace("<uid>", uid)))
                << mine.errorString().toStdString() << " lacks " << reason;
        if (!mine.lockFilePath().isEmpty()) {
            EXPECT_TRUE(mine.errorString().contains(mine.lockFilePath())) << mine.errorString().toStdString();
        }
        EXPECT_EQ(QDir(path("real")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        return;
    }
    ASSERT_TRUE(mine.TryEnter()) << mine.errorString().toStdString();
    const QString folder = QFileInfo(mine.lockFilePath()).path();
    EXPECT_EQ(folder, path(QString::fromLatin1(c.expectedFolder).replace("<uid>", uid)));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::getuid());
    ASSERT_EQ(::lstat(QFile::encodeName(mine.lockFilePath()).constData(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(QDir(path("real")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(QDir(path("env")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(QDir(path("run")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

    // A second holder finds the same lock, also with another environment.
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(path("real")));
    fw::Mutex other(QStringLiteral("naw fallback"));
    EXPECT_FALSE(other.TryEnter());
    EXPECT_TRUE(other.heldElsewhere());
}

INSTANTIATE_TEST_SUITE_P(
    Mutex, MutexFallback,
    ::testing::Values(FallbackCase{"home", true, "", "", "home/.local/state/numbers-as-words"},
                      FallbackCase{"homeBesideAFolderInTmp", true, "", "open", "home/.local/state/numbers-as-words"},
                      FallbackCase{"noHome", false, "", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"linkAtHome", true, "link", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"openFolderAtHome", true, "open", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"fileAtHome", true, "file", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"othersFolderAtHome", true, "others", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"othersMayWriteAtHome", true, "0703", "", "tmp/numbers-as-words-<uid>"},
                      FallbackCase{"relativeHome", true, "", "", "tmp/numbers-as-words-<uid>", {}, true},
                      FallbackCase{"noHomeAndLinkInTmp", false, "", "link", "",
                                   {"no home folder", "numbers-as-words-<uid> is a symbolic link"}},
                      FallbackCase{"noHomeAndFileInTmp", false, "", "file", "", {"<uid> is not a folder"}},
                      FallbackCase{"noHomeAndOthersMayWriteInTmp", false, "", "0707", "",
                                   {"<uid> is open to other users (mode 0707)"}},
                      FallbackCase{"othersFolderAtHomeAndInTmp", true, "others", "others", "",
                                   {"numbers-as-words belongs to another user",
                                    "numbers-as-words-<uid> belongs to another user"}},
                      FallbackCase{"lockFileLinked", true, "lockLink", "", ""}),
    [](const ::testing::TestParamInfo<FallbackCase>& param) { return std::string(param.param.name); });

} // namespace
