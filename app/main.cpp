// Tovel: a unit converter. Builds the main window over the platform services
// and runs the event loop. The program ends by leaving that loop: the windows
// and then the application object are destroyed here, and on X11 that hands
// the clipboard over to the desktop's clipboard manager. "--help" and
// "--version" answer on standard output instead, without a window; other
// arguments (a value and its units, "--find") go to the window once it shows.
#include "ui/EndSignals.h"
#include "ui/Desktop.h"
#include "ui/QtServices.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The main window while the event loop runs.
frmMain *g_window = nullptr;

// When the connection to the X server breaks (the server ended before the
// program at logout, a dropped "ssh -X"), Qt ends the program with exit(1)
// from inside the event loop. The settings are saved on that way out too.
extern "C" void SaveSettingsOnExit()
{
    if (g_window)
        g_window->SaveSettings();
}

constexpr char kHelp[] = "使い方: tovel [--series 単位系] [--] [値 変換元 [変換先]]\n"
                         "       tovel --find 単位名\n"
                         "       tovel --help | --version\n"
                         "\n"
                         "単位を換算するウィンドウを開きます。値を入力し、変換前と変換後の単位を選んで\n"
                         "Enter で換算、Shift+Enter で単位系のすべての単位へ換算します。\n"
                         "値と単位を渡すと、その単位系と単位を選び、その値を換算して開きます\n"
                         "(tovelconv と同じ引数です)。変換先を省くと、変換後の単位はその単位系で\n"
                         "前に使ったものです。値は 1/3、1 1/2、1.5万、全角の数字のようにも書けます。\n"
                         "単位系は、プログラムの横の units フォルダーの単位系ファイルから読みます。\n"
                         "端末からの換算は tovelconv、単位系ファイルの検査は tovelcheck です。\n"
                         "\n"
                         "  --series NAME  単位をこの単位系から探す (複数の単位系にある名前のとき)\n"
                         "  --find TEXT    「単位を探す」を開き、TEXT を入力しておく\n"
                         "  --             オプションの終わり (-40 のような負の値の前に)\n"
                         "  -h, --help     この説明を表示して終了する\n"
                         "  --version      版を表示して終了する\n"
                         "\n"
                         "例:\n"
                         "  tovel 6 畳 平方メートル\n"
                         "  tovel -- -40 セルシウス度 ファーレンハイト度\n"
                         "  tovel 5尺3寸 cm\n"
                         "  tovel --find 坪\n";

// The answer to "--help" or "--version" when one is asked before "--":
// printed, and the exit status; -1 when the window is to open.
int AnswerWithoutWindow(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const char *text = nullptr;
        if (std::strcmp(argv[i], "--") == 0)
            break;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            text = kHelp;
        else if (std::strcmp(argv[i], "--version") == 0)
            text = "tovel (Tovel) " TOVEL_VERSION "\n";
        if (text)
            return std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 2;
    }
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (const int status = AnswerWithoutWindow(argc, argv); status >= 0)
        return status;
    PreferX11UnderWayland();
    QApplication app(argc, argv);
    NameTheApplication();
    LoadToolkitTranslation(&app);

    QtServices services;
    frmMain window(services, quint64(QDateTime::currentMSecsSinceEpoch()));
    // Logout, shutdown, kill and Ctrl+C end the program as its end command
    // does, settings saved; so does the session manager's request to save.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::endRequested, &window, &frmMain::Menu_End_Click);
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmMain::Menu_End_Click);
#endif
    if (!window.Form_Load())
        return 0;
    window.show();
    // What the command line asks for, once the window shows: a message box
    // or the finder opens over it.
    if (const QStringList arguments = app.arguments().mid(1); !arguments.isEmpty())
        QTimer::singleShot(0, &window, [&window, arguments] { window.openWith(arguments); });
    g_window = &window;
    std::atexit(SaveSettingsOnExit);
    // Qt's Wayland client ends without exit handlers: the report of the
    // broken connection is the last moment to save.
    OnWaylandConnectionLost(SaveSettingsOnExit);
    const int status = app.exec();
    g_window = nullptr;
    return status;
}
