// Popups and file dialogs. For users they are Qt dialogs; with scripted
// popups on (tests) each takes the next queued answer, and a popup without
// one is reported loudly. Every popup's title and text is recorded.
#include "platform/ui/UiModel.h"
#include "platform/ui/TestDriver.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace {

struct Answer {
    std::string kind; // "ok", "yes", "no", "text", "file", "cancel"
    std::string text;
};

struct PopupState {
    bool scripted = false;
    std::deque<Answer> answers;
    std::vector<UiTest_PopupRecord> records;
    UiTest_UnansweredHandler handler = nullptr;
    bool declined = false; // DeclinePopups: every popup answers Cancel / No
};

PopupState& PS()
{
    static PopupState s;
    return s;
}

// Takes the next scripted answer; false (after reporting) when none waits.
bool NextAnswer(const char* kind, const char* title, const std::string& text, Answer* out)
{
    PopupState& s = PS();
    if (s.answers.empty()) {
        s.records.push_back({kind, title ? title : "", text, "<none>"});
        if (s.handler) {
            s.handler(kind, title ? title : "", text.c_str());
        } else {
            std::fprintf(stderr, "unanswered %s popup: \"%s\" / \"%s\"\n", kind, title ? title : "", text.c_str());
            std::abort();
        }
        return false;
    }
    *out = s.answers.front();
    s.answers.pop_front();
    s.records.push_back({kind, title ? title : "", text, out->kind + (out->text.empty() ? "" : ":" + out->text)});
    return true;
}

// With popups declined: records the popup as declined and returns true.
bool Declined(const char* kind, const char* title, const std::string& text)
{
    PopupState& s = PS();
    if (!s.declined) return false;
    s.records.push_back({kind, title ? title : "", text, "declined"});
    return true;
}

QWidget* DialogParent()
{
    return QApplication::activeWindow();
}

} // namespace

using namespace cz::ui;

void UiTest_SetScriptedPopups(bool on) { PS().scripted = on; }
void UiTest_SetUnansweredPopupHandler(UiTest_UnansweredHandler handler) { PS().handler = handler; }
void UiTest_QueueMessageOk() { PS().answers.push_back({"ok", ""}); }
void UiTest_QueueConfirm(bool yes) { PS().answers.push_back({yes ? "yes" : "no", ""}); }
void UiTest_QueuePrompt(const char* text) { PS().answers.push_back(text ? Answer{"text", text} : Answer{"cancel", ""}); }
void UiTest_QueueFile(const char* path) { PS().answers.push_back({"file", path ? path : ""}); }
void UiTest_QueueCancel() { PS().answers.push_back({"cancel", ""}); }
int UiTest_PendingAnswers() { return int(PS().answers.size()); }
const std::vector<UiTest_PopupRecord>& UiTest_Popups() { return PS().records; }
void UiTest_ClearPopups()
{
    PS().records.clear();
    PS().answers.clear();
}

void DeclinePopups(int on)
{
    PS().declined = on != 0;
    if (!on || !QApplication::instance()) return;
    // The dialogs open now (a question inside a running command) end as
    // rejected, which each popup below reads as Cancel or No.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
}

int MessagePopup(const char* title, const char* message)
{
    UI_CALL();
    if (Declined("message", title, message ? message : "")) return 0;
    if (PS().scripted) {
        Answer a;
        return NextAnswer("message", title, message ? message : "", &a) ? 0 : UI_ERR_NO_ANSWER;
    }
    PS().records.push_back({"message", title ? title : "", message ? message : "", "ok"});
    QMessageBox::information(DialogParent(), QStr(title), QStr(message));
    return 0;
}

int ConfirmPopup(const char* title, const char* message)
{
    UI_CALL();
    if (Declined("confirm", title, message ? message : "")) return 0;
    if (PS().scripted) {
        Answer a;
        if (!NextAnswer("confirm", title, message ? message : "", &a)) return UI_ERR_NO_ANSWER;
        return a.kind == "yes" ? 1 : 0;
    }
    auto r = QMessageBox::question(DialogParent(), QStr(title), QStr(message), QMessageBox::Yes | QMessageBox::No);
    PS().records.push_back({"confirm", title ? title : "", message ? message : "", r == QMessageBox::Yes ? "yes" : "no"});
    return r == QMessageBox::Yes ? 1 : 0;
}

int PromptPopup(const char* title, const char* message, char* response, int maxLength)
{
    UI_CALL();
    if (!response || maxLength < 0) return UI_ERR_BAD_VALUE;
    if (Declined("prompt", title, message ? message : "")) return UI_ERR_GENERAL;
    std::string text;
    bool ok = false;
    if (PS().scripted) {
        Answer a;
        if (!NextAnswer("prompt", title, message ? message : "", &a)) return UI_ERR_NO_ANSWER;
        ok = a.kind == "text";
        text = a.text;
    } else {
        QString r = QInputDialog::getText(DialogParent(), QStr(title), QStr(message), QLineEdit::Normal, QString(), &ok);
        text = StdStr(r);
        PS().records.push_back({"prompt", title ? title : "", message ? message : "", ok ? text : "cancel"});
    }
    if (!ok) return UI_ERR_GENERAL;
    CopyOut(response, maxLength + 1, text);
    return 0;
}

int FileSelectPopup(const char* defaultDirectory, const char* fileSpec, const char* fileTypes, const char* title,
                    int buttonMode, int restrictDirectory, int restrictExtension, int allowCancel, int allowMakeDirectory,
                    char* pathOut, int pathSize)
{
    UI_CALL();
    (void)restrictDirectory;
    (void)allowCancel;
    (void)allowMakeDirectory;
    if (!pathOut || pathSize <= 0) return UI_ERR_BAD_VALUE;
    std::string dir = defaultDirectory ? defaultDirectory : "";
    std::string spec = fileSpec ? fileSpec : "*.*";
    if (Declined("file", title, dir + "|" + spec)) { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
    std::string chosen;
    if (PS().scripted) {
        Answer a;
        if (!NextAnswer("file", title, dir + "|" + spec, &a)) return UI_ERR_NO_ANSWER;
        if (a.kind != "file") { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
        chosen = a.text;
    } else {
        QString filter = QStr(spec);
        if (fileTypes && *fileTypes) filter += QStringLiteral(";;") + QStr(fileTypes).replace(QLatin1Char(';'), QStringLiteral(";;"));
        if (!restrictExtension) filter += QStringLiteral(";;*");
        QString start = QStr(dir);
        QString r = buttonMode == VAL_SAVE_BUTTON ? QFileDialog::getSaveFileName(DialogParent(), QStr(title), start, filter)
                                                  : QFileDialog::getOpenFileName(DialogParent(), QStr(title), start, filter);
        PS().records.push_back({"file", title ? title : "", dir + "|" + spec, r.isEmpty() ? "cancel" : StdStr(r)});
        if (r.isEmpty()) { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
        chosen = StdStr(r);
    }
    if (int(chosen.size()) >= pathSize) return UI_ERR_BUFFER_TOO_SMALL; // a cut path would name another file
    CopyOut(pathOut, pathSize, chosen);
    return QFileInfo::exists(QStr(chosen)) ? VAL_EXISTING_FILE_SELECTED : VAL_NEW_FILE_SELECTED;
}

int DirSelectPopup(const char* defaultDirectory, const char* title, int allowCancel, int allowMakeDirectory, char* pathOut,
                   int pathSize)
{
    UI_CALL();
    (void)allowCancel;
    (void)allowMakeDirectory;
    if (!pathOut || pathSize <= 0) return UI_ERR_BAD_VALUE;
    std::string dir = defaultDirectory ? defaultDirectory : "";
    if (Declined("dir", title, dir)) { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
    std::string chosen;
    if (PS().scripted) {
        Answer a;
        if (!NextAnswer("dir", title, dir, &a)) return UI_ERR_NO_ANSWER;
        if (a.kind != "file") { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
        chosen = a.text;
    } else {
        QString r = QFileDialog::getExistingDirectory(DialogParent(), QStr(title), QStr(dir));
        PS().records.push_back({"dir", title ? title : "", dir, r.isEmpty() ? "cancel" : StdStr(r)});
        if (r.isEmpty()) { pathOut[0] = 0; return VAL_NO_FILE_SELECTED; }
        chosen = StdStr(r);
    }
    if (int(chosen.size()) >= pathSize) return UI_ERR_BUFFER_TOO_SMALL;
    CopyOut(pathOut, pathSize, chosen);
    return VAL_EXISTING_FILE_SELECTED;
}
