#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object. Every exception that escapes an event handler ends up in one handler
// (the main window's), and the event loop goes on.
class TarnoApplication : public QApplication {
public:
    using ExceptionHandler = std::function<void(const std::exception&)>;

    TarnoApplication(int& argc, char** argv);
    void SetExceptionHandler(ExceptionHandler handler) { handler_ = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    ExceptionHandler handler_;
    bool inHandler_ = false;
};
