// What the window tests share: dialogs answered by the test, and a fresh working directory
// with the program's windows created in it.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QAction>
#include <QLineEdit>
#include <QToolButton>
#include <QTest>
#include <QTranslator>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/AppWindows.h"
#include "app/Psfmain.h"
#include "ui/Dialogs.h"
#include "ui/SpinButton.h"

namespace velmora::testing {

// Records every message and answers the file dialogs and questions from queues.
class ScriptedDialogs : public DialogService {
public:
    struct Message {
        std::string kind;  // "information", "warning", "error", "confirm"
        QString text;
    };
    std::vector<Message> messages;
    std::deque<FileChoice> files;  // the next file dialogs' answers; an empty path cancels
    std::deque<bool> answers;                     // the next Yes/No answers (No when empty)
    std::vector<QString> filters;                 // the filter each file dialog was shown with

    std::optional<FileChoice> OpenFile(QWidget*, const QString& filter) override { return NextFile(filter); }
    std::optional<FileChoice> SaveFile(QWidget*, const QString& filter) override { return NextFile(filter); }
    void Information(QWidget*, const QString& text) override { messages.push_back({"information", text}); }
    void Warning(QWidget*, const QString& text) override { messages.push_back({"warning", text}); }
    void Error(QWidget*, const QString& text) override { messages.push_back({"error", text}); }
    bool Confirm(QWidget*, const QString& text) override {
        messages.push_back({"confirm", text});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }

private:
    std::optional<FileChoice> NextFile(const QString& filter) {
        filters.push_back(filter);
        if (files.empty()) return std::nullopt;
        const FileChoice f = files.front();
        files.pop_front();
        if (f.path.isEmpty()) return std::nullopt;
        return f;
    }
};

// Each test runs in its own empty working directory, with the dialogs scripted.
// The program's English for one scope (nothing when `on` is false), as the language setting
// installs it.
class EnglishForScope {
public:
    explicit EnglishForScope(bool on) {
        if (on && english_.load(QStringLiteral(":/i18n/velmora1_en.qm"))) QCoreApplication::installTranslator(&english_);
        EXPECT_EQ(on, !english_.isEmpty()) << "the built-in English translation";
    }
    ~EnglishForScope() {
        if (!english_.isEmpty()) QCoreApplication::removeTranslator(&english_);
    }
    EnglishForScope(const EnglishForScope&) = delete;
    EnglishForScope& operator=(const EnglishForScope&) = delete;

private:
    QTranslator english_;
};

// The rows of a check made in both languages, monochrome and colour.
struct LanguageAndMode {
    const char* name;
    bool english;
    bool colour;
};
inline constexpr LanguageAndMode languagesAndModes[] = {
    {"JapaneseMonochrome", false, false},
    {"JapaneseColour", false, true},
    {"EnglishMonochrome", true, false},
    {"EnglishColour", true, true},
};
inline std::string LanguageAndModeName(const ::testing::TestParamInfo<LanguageAndMode>& row) { return row.param.name; }

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_.emplace("velmora-window");
        std::filesystem::current_path(dir_->Path());
        SetDialogs(&dialogs);
    }
    void TearDown() override {
        windows.reset();
        SetDialogs(nullptr);
        std::filesystem::current_path(previous_);
        dir_.reset();
    }

    TForm1& Start() {
        windows = CreateWindows();
        return *windows->form1;
    }
    // Closes the main window as the user does and starts the program again.
    TForm1& Restart() {
        windows->form1->close();
        windows.reset();
        return Start();
    }

    TForm1& Form() { return *windows->form1; }
    QLineEdit* Edit(int n) { return Form().findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(n)); }
    SpinButton* UpDown(int n) { return Form().findChild<SpinButton*>(QStringLiteral("UpDown%1").arg(n)); }
    std::string EditText(int n) { return Edit(n)->text().toStdString(); }
    template <typename T>
    T* Control(const char* name) {
        return Form().findChild<T*>(QString::fromLatin1(name));
    }
    // A click on a spin button's up or down arrow.
    void ClickArrow(int n, bool up) {
        QToolButton* arrow = UpDown(n)->findChild<QToolButton*>(up ? QStringLiteral("up") : QStringLiteral("down"));
        ASSERT_NE(arrow, nullptr);
        QTest::mouseClick(arrow, Qt::LeftButton);
    }
    // A menu command chosen by the user.
    void Choose(const char* action) {
        QAction* a = Form().findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    // Selects a box's text and types over it (every keystroke a change).
    void Type(int n, const QString& text) {
        QLineEdit* edit = Edit(n);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }

    std::filesystem::path Dir() const { return dir_->Path(); }

    ScriptedDialogs dialogs;
    std::unique_ptr<VelmoraWindows> windows;

private:
    std::filesystem::path previous_;
    std::optional<TempDir> dir_;
};

}  // namespace velmora::testing
