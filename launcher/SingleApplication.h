#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;

// The launcher's application object. It tells whether the program is
// already running by knocking at a local server named after the program, and
// opens that server itself when nobody answers. Knowing is all it does: a
// second instance only says so in the log and runs on.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    SingleApplication(int &argc, char **argv);

private slots:
    void _newLocalConnection();

private:
    void initLocalConnection();
    void listen();

    bool running = false;
    QLocalServer *localServer = nullptr;
    QString serverName;
};
