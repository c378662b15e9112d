// Run-time core: the application object, handle look-up, text conversion,
// event dispatch and the user-event queue, the event loop, clock and Delay,
// system and monitor attributes.
#include "platform/ui/UiModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <memory>

#include "platform/BoundedText.h"
#include "platform/CLocale.h"

namespace cz::ui {

namespace {

// Created once and kept until the process ends. Destroying it during static
// destruction (a static owner, an exit handler) runs after Qt's own lazily
// created statics are gone and crashes in its destructor; nothing the
// program keeps needs the destructor to run.
QApplication* g_ownedApp = nullptr;
int g_argc = 1;
char g_arg0[] = "cadenza";
char* g_argv[] = {g_arg0, nullptr};

QElapsedTimer& RealClock()
{
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    return clock;
}

std::vector<QEventLoop*> g_loops;

// Validates UTF-8; Latin-1 texts (the 8-bit micro sign) fail here.
bool IsValidUtf8(const char* s)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    while (*p) {
        unsigned char c = *p;
        int n = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (n < 0) return false;
        ++p;
        for (int i = 0; i < n; ++i, ++p)
            if ((*p & 0xC0) != 0x80) return false;
    }
    return true;
}

} // namespace

Runtime& RT()
{
    // Like the application object, the model lives to the end of the
    // process: its pixmaps and widget pointers must not be destroyed during
    // static destruction, after parts of Qt they depend on are gone.
    static Runtime* rt = new Runtime;
    return *rt;
}

bool EnsureApp()
{
    if (QApplication::instance()) return true;
    g_ownedApp = new QApplication(g_argc, g_argv);
    SetUpRuntimeLook();
    // Qt takes the locale from the environment; every number the program
    // writes or parses must use the C locale.
    cz::UseCLocaleForNumbers();
    std::setlocale(LC_NUMERIC, "C");
    RealClock();
    return true;
}

int CountCall()
{
    EnsureApp();
    InstallFocusWatch();
    Runtime& rt = RT();
    ++rt.callCount;
    if (rt.failAt > 0 && rt.callCount == rt.failAt) {
        rt.failAt = 0;
        return rt.failStatus;
    }
    return 0;
}

Panel* FindPanel(int handle)
{
    auto it = RT().panels.find(handle);
    return it == RT().panels.end() ? nullptr : &it->second;
}

Ctrl* FindCtrl(int panel, int control)
{
    Panel* p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->ctrls.find(control);
    return it == p->ctrls.end() ? nullptr : &it->second;
}

Ctrl* FindCtrl(int panel, int control, int* status)
{
    Panel* p = FindPanel(panel);
    if (!p) {
        *status = UI_ERR_BAD_PANEL;
        return nullptr;
    }
    auto it = p->ctrls.find(control);
    if (it == p->ctrls.end()) {
        *status = UI_ERR_BAD_CONTROL;
        return nullptr;
    }
    *status = 0;
    return &it->second;
}

QString QStr(const char* text)
{
    if (!text) return QString();
    if (IsValidUtf8(text)) return QString::fromUtf8(text);
    return QString::fromLatin1(text);
}

QString QStr(const std::string& text) { return QStr(text.c_str()); }

std::string StdStr(const QString& text) { return text.toUtf8().toStdString(); }

int CopyOut(char* buffer, int size, const std::string& text)
{
    if (!buffer || size <= 0) return UI_ERR_BAD_VALUE;
    cz::CopyText(buffer, std::size_t(size), text);
    return 0;
}

QString MnemonicLabel(const std::string& label)
{
    // "__x" marks the mnemonic; Qt marks it with '&' (a literal '&' doubles).
    QString in = QStr(label), out;
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] == QLatin1Char('&')) out += QStringLiteral("&&");
        else if (in.mid(i, 2) == QStringLiteral("__") && i + 2 < in.size()) { out += QLatin1Char('&'); ++i; }
        else out += in[i];
    }
    return out;
}

QString ColorCss(int rgb)
{
    if (rgb & VAL_TRANSPARENT) return QStringLiteral("transparent");
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

bool IsIntegerType(int dataType) { return dataType != VAL_DOUBLE && dataType != VAL_STRING; }

void DefaultRange(int dataType, double* minV, double* maxV)
{
    switch (dataType) {
    case VAL_INTEGER: *minV = -2147483648.0; *maxV = 2147483647.0; break;
    case VAL_UNSIGNED_SHORT_INTEGER: *minV = 0.0; *maxV = 65535.0; break;
    case VAL_UNSIGNED_INTEGER: *minV = 0.0; *maxV = 4294967295.0; break;
    default: *minV = -1.0e300; *maxV = 1.0e300; break;
    }
}

double CoerceToType(double value, int dataType)
{
    if (!IsIntegerType(dataType)) return value;
    double lo, hi;
    DefaultRange(dataType, &lo, &hi);
    double t = std::trunc(value);
    return t < lo ? lo : t > hi ? hi : t;
}

std::string FormatNumber(double value, int dataType, int precision, int format)
{
    if (IsIntegerType(dataType)) {
        if (format == 3) return cz::FormatC("%llX", (unsigned long long)(long long)value);
        return cz::FormatC("%lld", (long long)value);
    }
    int prec = precision < 0 ? 0 : precision > 15 ? 15 : precision;
    if (format == 2 || format == 1) return cz::FormatC("%.*e", prec, value);
    return cz::FormatC("%.*f", prec, value);
}

std::string FormatShownNumber(const Ctrl& c, double v)
{
    std::string text = FormatNumber(v, c.dataType, c.precision, c.format);
    const bool outside = c.minV <= c.maxV && (v < c.minV || v > c.maxV);
    if (!outside || IsIntegerType(c.dataType) || !std::isfinite(v) || c.format != 0) return text;
    return cz::FixedRealC(v, c.precision);
}

int LookInt(const AttrMap& look, int attr, int fallback)
{
    auto it = look.find(attr);
    return it == look.end() || it->second.isText ? fallback : int(it->second.num);
}

std::string LookText(const AttrMap& look, int attr, const std::string& fallback)
{
    auto it = look.find(attr);
    return it == look.end() || !it->second.isText ? fallback : it->second.text;
}

// ---------------------------------------------------------------------------
// Deferred widget updates

void MarkDirty(const Ctrl& ctrl)
{
    Runtime& rt = RT();
    rt.dirty.insert({ctrl.panel, ctrl.id});
    if (!rt.flushPosted && QApplication::instance()) {
        rt.flushPosted = true;
        QTimer::singleShot(0, [] { FlushDirty(); });
    }
}

void FlushDirty()
{
    Runtime& rt = RT();
    rt.flushPosted = false;
    auto dirty = std::move(rt.dirty);
    rt.dirty.clear();
    for (const auto& [panel, control] : dirty)
        if (Ctrl* c = FindCtrl(panel, control)) FlushCtrl(*c);
}

void FlushCtrl(Ctrl& ctrl)
{
    switch (ctrl.kind) {
    case CTRL_TEXT_BOX: FlushTextBox(ctrl); break;
    case CTRL_TREE: FlushTree(ctrl); break;
    case CTRL_TABLE: FlushTable(ctrl); break;
    case CTRL_GRAPH:
    case CTRL_CANVAS: UpdateGraphWidget(ctrl); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Events

int RaiseCtrlEvent(int panel, int control, int event, int data1, int data2)
{
    Runtime& rt = RT();
    Ctrl* c = FindCtrl(panel, control);
    if (!c) return 0;
    if (rt.callbackDepth > 0) {
        // No second callback while one runs: commits wait for GetUserEvent,
        // everything else the user does meanwhile is dropped.
        if (event == EVENT_COMMIT) rt.userEvents.push_back({EVENT_COMMIT, panel, control});
        return 0;
    }
    if (!c->callback) return 0;
    if (event == EVENT_COMMIT && rt.commandHook) {
        ++rt.callbackDepth;
        rt.commandHook();
        --rt.callbackDepth;
        c = FindCtrl(panel, control);
        if (!c || !c->callback) return 0;
    }
    CtrlCallbackPtr cb = c->callback;
    void* data = c->callbackData;
    ++rt.callbackDepth;
    int result = cb(panel, control, event, data, data1, data2);
    --rt.callbackDepth;
    return result;
}

int RaisePanelEvent(int panel, int event, int data1, int data2)
{
    Runtime& rt = RT();
    Panel* p = FindPanel(panel);
    if (!p) return 0;
    if (rt.callbackDepth > 0) {
        if (event == EVENT_CLOSE && rt.deferredHook) rt.deferredHook(EVENT_CLOSE, panel, 0);
        return 0;
    }
    if (!p->callback) return 0;
    PanelCallbackPtr cb = p->callback;
    void* data = p->callbackData;
    ++rt.callbackDepth;
    int result = cb(panel, event, data, data1, data2);
    --rt.callbackDepth;
    return result;
}

void RaiseMenuEvent(int menuBar, int item)
{
    Runtime& rt = RT();
    auto it = rt.menuBars.find(menuBar);
    if (it == rt.menuBars.end()) return;
    auto e = it->second.entries.find(item);
    if (e == it->second.entries.end() || e->second.separator || e->second.dimmed) return;
    int panel = it->second.panel;
    if (rt.callbackDepth > 0) {
        rt.userEvents.push_back({EVENT_MENU, panel, item});
        if (rt.deferredHook) rt.deferredHook(EVENT_MENU, panel, item);
        return;
    }
    if (!e->second.callback) return;
    SubmitOpenTableEditors();
    // The commit's callback may have changed the menus: look the item up again.
    it = rt.menuBars.find(menuBar);
    if (it == rt.menuBars.end()) return;
    e = it->second.entries.find(item);
    if (e == it->second.entries.end() || e->second.separator || e->second.dimmed || !e->second.callback) return;
    MenuCallbackPtr cb = e->second.callback;
    void* data = e->second.callbackData;
    ++rt.callbackDepth;
    if (rt.commandHook) rt.commandHook();
    cb(menuBar, item, data, panel);
    --rt.callbackDepth;
}

} // namespace cz::ui

using namespace cz::ui;

// ---------------------------------------------------------------------------
// Life cycle

int InitUserInterface(int argc, char** argv)
{
    if (!QApplication::instance() && argc > 0 && argv) {
        g_argc = argc;
        static std::vector<char*> args(argv, argv + argc);
        args.push_back(nullptr);
        g_ownedApp = new QApplication(g_argc, args.data());
        SetUpRuntimeLook();
        cz::UseCLocaleForNumbers();
        std::setlocale(LC_NUMERIC, "C");
    }
    EnsureApp();
    return 0;
}

int CloseUserInterface()
{
    EnsureApp();
    Runtime& rt = RT();
    std::vector<int> handles;
    for (auto& [h, p] : rt.panels)
        if (p.parent == 0 && p.tabOwnerPanel == 0) handles.push_back(h);
    for (int h : handles) DiscardPanelTree(h);
    rt.panels.clear();
    for (auto& [h, bar] : rt.menuBars)
        if (bar.bar) bar.bar->deleteLater();
    rt.menuBars.clear();
    rt.bitmaps.clear();
    rt.userEvents.clear();
    rt.dirty.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

// ---------------------------------------------------------------------------
// Event loop

int RunUserInterface()
{
    UI_CALL();
    Runtime& rt = RT();
    FlushDirty();
    QEventLoop loop;
    g_loops.push_back(&loop);
    // Callbacks of a nested loop (a modal dialog's) dispatch normally.
    int savedDepth = rt.callbackDepth;
    rt.callbackDepth = 0;
    ++rt.activeLoops;
    int code = loop.exec();
    --rt.activeLoops;
    rt.callbackDepth = savedDepth;
    g_loops.pop_back();
    return code;
}

int QuitUserInterface(int returnCode)
{
    UI_CALL();
    RT().quitCode = returnCode;
    if (!g_loops.empty()) g_loops.back()->exit(returnCode);
    return 0;
}

int ProcessSystemEvents()
{
    UI_CALL();
    FlushDirty();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    FlushDirty();
    return 0;
}

int ProcessDrawEvents()
{
    UI_CALL();
    FlushDirty();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return 0;
}

int GetUserEvent(int waitMode, int* panel, int* control)
{
    UI_CALL();
    Runtime& rt = RT();
    FlushDirty();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    while (rt.userEvents.empty() && waitMode == VAL_WAIT && !QCoreApplication::closingDown()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        if (rt.fakeClock) break; // tests never block
    }
    if (rt.userEvents.empty()) return 0;
    UserEvent e = rt.userEvents.front();
    rt.userEvents.pop_front();
    if (panel) *panel = e.panel;
    if (control) *control = e.control;
    return e.event;
}

int CallbackRunning()
{
    EnsureApp();
    return RT().callbackDepth > 0 ? 1 : 0;
}

void SetDeferredEventHook(DeferredEventHook hook)
{
    EnsureApp();
    RT().deferredHook = hook;
}

void SetUserCommandHook(UserCommandHook hook)
{
    RT().commandHook = hook;
}

double Timer()
{
    EnsureApp();
    Runtime& rt = RT();
    if (rt.fakeClock) return rt.fakeNow;
    return double(RealClock().nsecsElapsed()) * 1e-9;
}

int Delay(double seconds)
{
    UI_CALL();
    Runtime& rt = RT();
    if (!(seconds > 0.0)) return 0;
    rt.totalDelay += seconds;
    if (rt.fakeClock) {
        rt.fakeNow += seconds;
        FlushDirty();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return 0;
    }
    const qint64 end = RealClock().nsecsElapsed() + qint64(seconds * 1e9);
    while (RealClock().nsecsElapsed() < end) {
        FlushDirty();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// System and monitors. There is one monitor id per screen, 1-based.

namespace cz::ui {
void ScreenSize(int* width, int* height)
{
    Runtime& rt = RT();
    if (rt.fakeMonitorWidth > 0 && rt.fakeMonitorHeight > 0) {
        *width = rt.fakeMonitorWidth;
        *height = rt.fakeMonitorHeight;
        return;
    }
    QScreen* s = QGuiApplication::primaryScreen();
    QRect r = s ? s->geometry() : QRect(0, 0, 1920, 1080);
    *width = r.width();
    *height = r.height();
}
} // namespace cz::ui

int GetSystemAttribute(int attr, int* value)
{
    UI_CALL();
    if (!value) return UI_ERR_BAD_VALUE;
    switch (attr) {
    case ATTR_RESOLUTION_ADJUSTMENT: *value = RT().resolutionAdjustment; return 0;
    case ATTR_PRIMARY_MONITOR:
    case ATTR_DEFAULT_MONITOR: *value = 1; return 0;
    case ATTR_NUM_MONITORS: *value = RT().fakeMonitorWidth > 0 ? 1 : std::max<int>(1, int(QGuiApplication::screens().size())); return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}

int SetSystemAttribute(int attr, int value)
{
    UI_CALL();
    if (attr != ATTR_RESOLUTION_ADJUSTMENT) return UI_ERR_BAD_ATTRIBUTE;
    if (value < -1 || value > 100) return UI_ERR_BAD_VALUE;
    RT().resolutionAdjustment = value;
    return 0;
}

int GetMonitorFromPanel(int panel, int* monitor)
{
    UI_CALL();
    if (!FindPanel(panel)) return UI_ERR_BAD_PANEL;
    if (!monitor) return UI_ERR_BAD_VALUE;
    *monitor = 1;
    return 0;
}

int GetMonitorAttribute(int monitor, int attr, int* value)
{
    UI_CALL();
    if (monitor != 1) return UI_ERR_BAD_VALUE;
    if (!value) return UI_ERR_BAD_VALUE;
    int w, h;
    ScreenSize(&w, &h);
    switch (attr) {
    case ATTR_SYSTEM_MONITOR_HEIGHT: *value = h; return 0;
    case ATTR_SYSTEM_MONITOR_WIDTH: *value = w; return 0;
    case ATTR_SYSTEM_MONITOR_TOP:
    case ATTR_SYSTEM_MONITOR_LEFT: *value = 0; return 0;
    default: return UI_ERR_BAD_ATTRIBUTE;
    }
}
