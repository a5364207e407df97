// zarn-host: a small stand-in for the land-registry application.
//
//   zarn-host                      the main window; "打开调查表" opens the form
//   zarn-host --dwdm CODE --zdh NUMBER --lx N [--no-owner]
//                                  one call without the main window; prints
//                                  the result code and exits
#include "host_window.h"
#include "tool_cli.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct Options {
    bool call = false; // one call without the main window
    bool owner = true;
    QString dwdm, zdh;
    std::optional<int> lx;
};

const zarn::cli::Tool Tool{
    "zarn-host",
    "用法: zarn-host [--dwdm 单位代码 --zdh 宗地号 --lx 表类型 [--no-owner]]\n"
    "  不带参数时打开主窗口；带 --lx 时直接调用一次 showdcbfrm，\n"
    "  输出其返回码后退出（创建组件失败时输出的是\n"
    "  ZarnCreateInstanceFromProgID 的返回码）。--no-owner 不给调查表指定宿主窗口\n"
    "  （此时本程序不创建 Qt 应用，由组件自己创建）。\n"
    "  表类型: 0 使用权地籍调查表，1 所有权地籍调查表（其他值原样交给组件）。\n"
    "  组件须已注册（zarn-regsvr），连接字符串在组件旁的 config.ini 中（zarn-encrypt）。\n"
    "  --help     显示本说明\n"
    "  --version  显示版本\n"};

// Nothing, after saying why, for a bad command line.
std::optional<Options> parse(int argc, char **argv)
{
    Options o;
    zarn::cli::GivenOptions given;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool takesValue = a == "--dwdm" || a == "--zdh" || a == "--lx";
        if ((takesValue || a == "--no-owner") && !given.first(a)) {
            zarn::cli::refuse(Tool, zarn::cli::givenTwice(a));
            return std::nullopt;
        }
        if (takesValue && i + 1 >= argc) {
            zarn::cli::refuse(Tool, a + " 缺少参数值");
            return std::nullopt;
        }
        if (a == "--dwdm") {
            o.dwdm = QString::fromLocal8Bit(argv[++i]);
            o.call = true;
        } else if (a == "--zdh") {
            o.zdh = QString::fromLocal8Bit(argv[++i]);
            o.call = true;
        } else if (a == "--lx") {
            char *end = nullptr;
            const long v = std::strtol(argv[++i], &end, 10);
            if (!*argv[i] || *end || v < -128 || v > 127) {
                zarn::cli::refuse(Tool, std::string("--lx 必须是 -128 到 127 之间的整数, 不能是 ") +
                                            argv[i]);
                return std::nullopt;
            }
            o.lx = int(v);
            o.call = true;
        } else if (a == "--no-owner") {
            o.owner = false;
            o.call = true;
        } else {
            zarn::cli::refuse(Tool, "无法识别的参数: " + a);
            return std::nullopt;
        }
    }
    if (o.call && !o.lx) {
        zarn::cli::refuse(Tool, "缺少 --lx 表类型");
        return std::nullopt;
    }
    return o;
}

// The result line names the call it is of: a failure to create the object
// is not one of showdcbfrm's.
int report(int32_t hr, const QString &error, const char *step)
{
    if (!error.isEmpty()) std::fprintf(stderr, "zarn-host: %s\n", error.toLocal8Bit().constData());
    std::printf("%s 0x%08x\n", step, unsigned(hr));
    std::fflush(stdout);
    return hr == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (const auto answered = zarn::cli::answerHelpOrVersion(Tool, argc, argv)) return *answered;
    const auto options = parse(argc, argv);
    if (!options) return zarn::cli::ExitUsage;
    const Options &o = *options;
    QString error;
    const char *step = nullptr;
    if (o.call && !o.owner) {
        // Like a host without Qt: the component brings its own application.
        const int32_t hr = showSurveyTable(o.dwdm, o.zdh, int8_t(*o.lx), 0, &error, &step);
        return report(hr, error, step);
    }
    QApplication app(argc, argv);
    if (o.call) {
        // A bare window of ours stands in as the owner of the survey form.
        QWidget owner;
        owner.setWindowTitle(QStringLiteral("zarn-host"));
        owner.resize(320, 120);
        owner.show();
        std::printf("owner window 0x%llx\n", static_cast<unsigned long long>(owner.winId()));
        std::fflush(stdout);
        const int32_t hr =
            showSurveyTable(o.dwdm, o.zdh, int8_t(*o.lx), uint32_t(owner.winId()), &error, &step);
        return report(hr, error, step);
    }
    HostWindow window;
    window.show();
    return app.exec();
}
