#include "gui/mainwindow.h"

namespace vebix {

VebixForm::VebixForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("VebixForm");
    setWindowTitle(kAppTitle);
    resize(450, 350);
}

}  // namespace vebix
