#include "shell/program.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "card/rules/attachment_files.h"
#include "platform/instance.h"
#include "platform/message_format.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/language.h"
#include "shell/main_window.h"
#include "shell/session_rules.h"
#include "shell/settings.h"
#include "shell/shell_integration.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {
// Listens on the single-instance socket and hands each request line to the main window.
class InstanceServer final : public QObject {
  public:
    InstanceServer(const fs::path& runtime_dir, MainWindow& window)
        : server_(this), window_(window) {
        if (runtime_dir.empty()) return;
        const QString name = QString::fromStdString(instance_socket_path(runtime_dir).string());
        QLocalServer::removeServer(name);  // a socket left by a run that crashed
        server_.setSocketOptions(QLocalServer::UserAccessOption);
        if (!server_.listen(name)) return;
        connect(&server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
            }
        });
    }

  private:
    void read(QLocalSocket* socket) {
        while (socket->canReadLine()) {
            const QByteArray line = socket->readLine(64).trimmed();
            if (auto request = parse_instance_request(line.toStdString())) {
                window_.handle_instance_request(static_cast<int>(*request));
            }
        }
        if (socket->bytesAvailable() > 256) socket->abort();  // not one of ours
    }

    QLocalServer server_;
    MainWindow& window_;
};

std::vector<std::string> arguments_of(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);  // the program name first
    return args;
}
}  // namespace

int run_keystash(int argc, char** argv) {
    disable_core_dumps();
    const std::u16string command_line = command_line_text(arguments_of(argc, argv));
    const fs::path runtime_dir = instance_runtime_dir();
    switch (command_line_action(command_line)) {
        case CommandLineAction::FormFile:
            return 0;  // form files are imported from inside the program
        case CommandLineAction::SyncStart:
        case CommandLineAction::SyncEnd:
            if (program_running(runtime_dir)) {
                send_instance_request(runtime_dir,
                                      command_line_action(command_line) == CommandLineAction::SyncStart
                                          ? InstanceRequest::SyncStart
                                          : InstanceRequest::SyncEnd);
            }
            return 0;
        case CommandLineAction::Normal:
            break;
    }

    InstanceLock lock(runtime_dir);
    if (lock.taken_by_another() && send_instance_request(runtime_dir, InstanceRequest::Activate)) {
        return 0;  // a second start only activates the first
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("keystash"));
    QApplication::setApplicationDisplayName(QStringLiteral("Keystash Pro"));
    QApplication::setQuitOnLastWindowClosed(false);

    Registry registry;
    registry.load();
    AppSettings& settings = app_settings();
    settings.keyPath = std::u16string(kSettingsKey);
    settings.set_failure_hook([](const RegistryError& error) {
        std::fprintf(stderr, "keystash: %s\n", to_utf8(registry_error_message(error)).c_str());
    });
    settings.load(registry);

    const LanguageChoice language = install_language_module(
        settings.LangPref ? std::optional<uint16_t>(static_cast<uint16_t>(settings.LangPref))
                          : std::nullopt);
    if (!language.module) {
        QMessageBox::critical(nullptr, QStringLiteral("Keystash Pro 2006"),
                              QStringLiteral("Failed to load resources.  Please re-install."));
        settings.save(registry);
        return 0;
    }

    // Copies of attachments left by a run that ended without closing its wallet.
    if (lock.held()) OpenedFiles::empty_folder();

    MainWindow window(registry);
    QObject::connect(&window, &MainWindow::finished, &app, &QApplication::quit, Qt::QueuedConnection);
    InstanceServer server(lock.held() ? runtime_dir : fs::path{}, window);
    window.show();

    if (show_welcome_message(settings)) {
        message_box(text_id::kWelcome, text_id::kProductName, PromptButtons::Ok,
                    PromptIcon::Information);
    }
    const StartDecision start = decide_start(command_line, settings, [](const fs::path& p) {
        std::error_code ec;
        return fs::is_regular_file(p, ec);
    });
    if (start.action == StartAction::OpenPath) {
        window.set_startup_path(start.path);
        post_message(&window, MWM_OPENPATH);
    } else {
        post_message(&window, MWM_SHOWCHOOSER);
    }
    const int result = QApplication::exec();
    settings.save(registry);
    return result;
}

}  // namespace ks::gui
