#pragma once
// The main window. For now an empty window with the program's title.

#include <QMainWindow>

namespace vebix {

inline constexpr const char* kAppTitle = "Vebix 1.2.02";

class VebixForm : public QMainWindow {
    Q_OBJECT
public:
    explicit VebixForm(QWidget* parent = nullptr);
};

}  // namespace vebix
