// The programs as a shell runs them: standard output and standard error read through pipes.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"

namespace velmora {
namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

Ran RunProgram(const char* program, const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    QProcessEnvironment e = env;
    e.remove(QStringLiteral("VELMORA_THREADS"));
    p.setProcessEnvironment(e);
    p.start(QString::fromUtf8(program), args);
    Ran r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        ADD_FAILURE() << program << " did not run";
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

Ran Batch(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return RunProgram(VELMORA_BATCH_BINARY, args, env);
}

std::vector<std::string> Listing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class BatchProcess : public ::testing::Test {
protected:
    QString File(const char* name) const { return QString::fromStdString(dir_.File(name)); }
    testing::TempDir dir_{"velmora-process"};
};

TEST_F(BatchProcess, StandardOutputIsEmptyWhenEveryOutputIsAFile) {
    const Ran r = Batch({QStringLiteral("--intensity"), File("i.txt"), QStringLiteral("--report"), File("r.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "") << "no trace lines of the kernel";
    EXPECT_EQ(r.err, "") << "no progress where standard error is no terminal";
}

TEST_F(BatchProcess, StandardOutputIsExactlyTheReport) {
    const Ran r = Batch({QStringLiteral("--report"), QStringLiteral("-"), QStringLiteral("--threads"), QStringLiteral("3")});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json report = nlohmann::json::parse(r.out);  // throws on anything else in it
    EXPECT_EQ(report["schema"], "velmora1-report/1");
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(r.out.find("extended int"), std::string::npos);
    // The same bytes as a report written to a file.
    ASSERT_EQ(Batch({QStringLiteral("--report"), File("r.json")}).status, 0);
    EXPECT_EQ(r.out, testing::ReadAll(dir_.File("r.json")));
}

// /dev/stdout redirected by the shell: written through the open file, so ">" replaces and ">>"
// appends, and the file stays the one the shell opened.
TEST_F(BatchProcess, DevStdoutRedirectedToAFileKeepsTheShellsMeaning) {
    const std::string out = dir_.File("out.json");
    testing::WriteAll(out, "kept\n");
    const std::string command = std::string(VELMORA_BATCH_BINARY) + " --report /dev/stdout >>'" + out + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string appended = testing::ReadAll(out);
    ASSERT_EQ(appended.rfind("kept\n{", 0), 0u) << appended.substr(0, 40);
    EXPECT_EQ(nlohmann::json::parse(appended.substr(5))["schema"], "velmora1-report/1");
    const std::string replace = std::string(VELMORA_BATCH_BINARY) + " --report /dev/stdout >'" + out + "'";
    ASSERT_EQ(std::system(replace.c_str()), 0);
    EXPECT_EQ(testing::ReadAll(out), appended.substr(5));
    EXPECT_EQ(Listing(dir_.Path()), std::vector<std::string>{"out.json"});
}

TEST_F(BatchProcess, FitsToStandardOutput) {
    const Ran r = Batch({QStringLiteral("--fits"), QStringLiteral("-")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("SIMPLE  =                    T", 0), 0u);
    EXPECT_EQ(r.out.size() % 2880, 0u);
    EXPECT_GE(r.out.size(), 1024u * 1024 * 8);
}

TEST_F(BatchProcess, UsageErrorsAreTwoLinesOnStandardError) {
    const Ran r = Batch({QStringLiteral("--aperture=400")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "velmora1-batch: --aperture takes a whole number of mm from 0 to 300, not '400'\n"
              "Try 'velmora1-batch --help' for more information.\n");
}

TEST_F(BatchProcess, TheEnvironmentChoosesEnglish) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_LANG"), QStringLiteral("en"));
    const Ran r = Batch({QStringLiteral("--report"), File("none/r.json")}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos) << r.err;
    const Ran ja = Batch({QStringLiteral("--report"), File("none/r.json")});
    EXPECT_NE(ja.err.find("がありません"), std::string::npos) << ja.err;
}

TEST(WindowProgram, HelpAndVersionPrintAndEnd) {
    // No display is needed: the window never opens.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const Ran help = RunProgram(VELMORA_WINDOW_BINARY, {QStringLiteral("--help")}, env);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: velmora1", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("--lang"), std::string::npos);
    EXPECT_EQ(help.err, "");
    const Ran version = RunProgram(VELMORA_WINDOW_BINARY, {QStringLiteral("--version")}, env);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Velmora 1\nVersion 3.07\n");
}

TEST(WindowProgram, AnUnknownOptionIsAUsageError) {
    for (const QStringList& args : {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("--lang")},
                                    QStringList{QStringLiteral("file.vld")}}) {
        const Ran r = RunProgram(VELMORA_WINDOW_BINARY, args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_NE(r.err.find("Try 'velmora1 --help'"), std::string::npos) << r.err;
    }
}

TEST(WindowProgram, KnownOptionsStillOpenTheWindow) {
    // The window runs until it is closed: still running after a while means it opened.
    for (const QStringList& args : {QStringList{}, QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                                              QStringLiteral("--lang=en")}}) {
        testing::TempDir folder("velmora-window");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(folder.Path().string()));
        p.start(QStringLiteral(VELMORA_WINDOW_BINARY), args);
        ASSERT_TRUE(p.waitForStarted(10000));
        EXPECT_FALSE(p.waitForFinished(2000)) << args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
        p.kill();
        p.waitForFinished();
    }
}

}  // namespace
}  // namespace velmora
