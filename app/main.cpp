#include <QApplication>

#include "gui/mainwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vebix::VebixForm form;
    form.show();
    return app.exec();
}
