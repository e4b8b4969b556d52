// Shows the apology after the launcher crashed. The crashed process starts
// this program with the error code and the error address as its arguments
// and waits for the user to close the box.

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 3)
        return 2;
    const QString text =
        QStringLiteral("We sincerely apologize for the software bug! \n error code: %1\n error address: %2")
            .arg(arguments.at(1), arguments.at(2));
    QMessageBox::critical(nullptr, QStringLiteral("Application crashed"), text, QMessageBox::Ok,
                          QMessageBox::NoButton);
    return 0;
}
