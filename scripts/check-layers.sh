#!/usr/bin/env bash
# Checks, from the #include lines alone, that every part of the tree includes only the layers
# below it, so that a wrong include is caught before the build or a link error points at it:
#   scripts/check-layers.sh      prints each offending include and exits 1, or exits 0
# Run from anywhere inside the repository; it reads the files git tracks.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# The allowed graph. A file belongs to the first area (path prefix) that matches it, top down;
# files in no area follow the last line. A quoted or angled include of a project header (one
# that exists under engine/, app/ or tools/) must start with one of the area's prefixes
# ("*": any). Qt: "none" = no Qt header at all; "core" = Qt, but no QtWidgets header (these
# parts must run with no display); "widgets" = any Qt header.
# The engine modules follow the libraries they link (engine/CMakeLists.txt); the app's follow
# app/CMakeLists.txt: the entry on top, then the front ends (the terminal's app/cli, the
# window's app/gui, the chat room's app/irc), which never include one another, then the chat
# session they share and the layers below it.
#   area                  may include                                           Qt
rules='
engine/base/            engine/base/                                          none
engine/enparse/         engine/base/ engine/enparse/                          none
engine/myfile/          engine/base/ engine/myfile/                           none
engine/ai/              engine/base/ engine/enparse/ engine/ai/               none
tools/                  engine/ tools/                                        none
tests/engine/base/      engine/base/                                          none
tests/engine/enparse/   engine/base/ engine/enparse/                          none
tests/engine/myfile/    engine/base/ engine/myfile/                           none
tests/engine/ai/        engine/base/ engine/enparse/ engine/ai/ tools/        none
app/platform/           engine/ app/platform/                                 core
app/mind/               engine/ app/platform/ app/mind/                       core
app/udlp/               engine/ app/platform/ app/mind/ app/udlp/             core
app/chat/               engine/ app/platform/ app/mind/ app/udlp/ app/chat/   core
app/cli/                engine/ app/platform/ app/mind/ app/udlp/ app/chat/ app/cli/ core
app/irc/                engine/ app/platform/ app/mind/ app/udlp/ app/chat/ app/irc/ core
app/gui/                engine/ app/platform/ app/mind/ app/udlp/ app/chat/ app/gui/ widgets
app/entry/              engine/ app/                                          widgets
app/main.cpp            app/entry/                                            none
tests/gui/              *                                                     widgets
tests/entry/            *                                                     widgets
*                       *                                                     core
'

# The class headers of QtWidgets (Qt 6), refused wherever Qt is "core".
widgets='
QAbstractButton QAbstractGraphicsShapeItem QAbstractItemDelegate QAbstractItemView
QAbstractScrollArea QAbstractSlider QAbstractSpinBox QAccessibleWidget QApplication QBoxLayout
QButtonGroup QCalendarWidget QCheckBox QColorDialog QColormap QColumnView QComboBox
QCommandLinkButton QCommonStyle QCompleter QDataWidgetMapper QDateEdit QDateTimeEdit QDial
QDialog QDialogButtonBox QDockWidget QDoubleSpinBox QErrorMessage QFileDialog QFileIconProvider
QFocusFrame QFontComboBox QFontDialog QFormLayout QFrame QGesture QGestureEvent
QGestureRecognizer QGraphicsAnchor QGraphicsAnchorLayout QGraphicsBlurEffect
QGraphicsColorizeEffect QGraphicsDropShadowEffect QGraphicsEffect QGraphicsEllipseItem
QGraphicsGridLayout QGraphicsItem QGraphicsItemAnimation QGraphicsItemGroup QGraphicsLayout
QGraphicsLayoutItem QGraphicsLineItem QGraphicsLinearLayout QGraphicsObject
QGraphicsOpacityEffect QGraphicsPathItem QGraphicsPixmapItem QGraphicsPolygonItem
QGraphicsProxyWidget QGraphicsRectItem QGraphicsRotation QGraphicsScale QGraphicsScene
QGraphicsSceneContextMenuEvent QGraphicsSceneDragDropEvent QGraphicsSceneEvent
QGraphicsSceneHelpEvent QGraphicsSceneHoverEvent QGraphicsSceneMouseEvent
QGraphicsSceneMoveEvent QGraphicsSceneResizeEvent QGraphicsSceneWheelEvent
QGraphicsSimpleTextItem QGraphicsTextItem QGraphicsTransform QGraphicsView QGraphicsWidget
QGridLayout QGroupBox QHBoxLayout QHeaderView QInputDialog QItemDelegate QItemEditorCreator
QItemEditorCreatorBase QItemEditorFactory QKeySequenceEdit QLCDNumber QLabel QLayout
QLayoutItem QLineEdit QListView QListWidget QListWidgetItem QMainWindow QMdiArea QMdiSubWindow
QMenu QMenuBar QMessageBox QPanGesture QPinchGesture QPlainTextDocumentLayout QPlainTextEdit
QProgressBar QProgressDialog QProxyStyle QPushButton QRadioButton QRubberBand QScrollArea
QScrollBar QScroller QScrollerProperties QSizeGrip QSizePolicy QSlider QSpacerItem QSpinBox
QSplashScreen QSplitter QSplitterHandle QStackedLayout QStackedWidget
QStandardItemEditorCreator QStatusBar QStyle QStyleFactory QStyleHintReturn
QStyleHintReturnMask QStyleHintReturnVariant QStyleOption QStyleOptionButton
QStyleOptionComboBox QStyleOptionComplex QStyleOptionDockWidget QStyleOptionFocusRect
QStyleOptionFrame QStyleOptionGraphicsItem QStyleOptionGroupBox QStyleOptionHeader
QStyleOptionHeaderV2 QStyleOptionMenuItem QStyleOptionProgressBar QStyleOptionRubberBand
QStyleOptionSizeGrip QStyleOptionSlider QStyleOptionSpinBox QStyleOptionTab
QStyleOptionTabBarBase QStyleOptionTabWidgetFrame QStyleOptionTitleBar QStyleOptionToolBar
QStyleOptionToolBox QStyleOptionToolButton QStyleOptionViewItem QStylePainter QStylePlugin
QStyledItemDelegate QSwipeGesture QSystemTrayIcon QTabBar QTabWidget QTableView QTableWidget
QTableWidgetItem QTableWidgetSelectionRange QTapAndHoldGesture QTapGesture QTextBrowser
QTextEdit QTileRules QTimeEdit QToolBar QToolBox QToolButton QToolTip QTreeView QTreeWidget
QTreeWidgetItem QTreeWidgetItemIterator QUndoView QVBoxLayout QWhatsThis QWidget QWidgetAction
QWidgetData QWidgetItem QWidgetItemV2 QWizard QWizardPage'

# One pass over every tracked source: the files git tracks are the project headers, then each
# source's include lines are checked against the first rule whose area prefixes its path.
git ls-files -- '*.cpp' '*.h' '*.inc' |
    awk -v rules="$rules" -v widgets="$widgets" -v script="$0" '
    BEGIN {
        n = split(rules, lines, "\n")
        for (i = 1; i <= n; i++) {
            if (split(lines[i], w, /[ \t]+/) < 3) continue
            nrules++
            area[nrules] = w[1]
            qt[nrules] = w[length(w)]
            allowed[nrules] = ""
            for (j = 2; j < length(w); j++) allowed[nrules] = allowed[nrules] " " w[j]
        }
        split(widgets, names, /[ \t\n]+/)
        for (i in names) if (names[i] != "") widget[names[i]] = 1
    }
    { files[++nfiles] = $0; tracked[$0] = 1 }
    function fail(where, header, why) {
        printf "%s: includes %s: %s\n", where, header, why > "/dev/stderr"
        failures++
    }
    function allows(r, header,    k, m, p) {
        m = split(allowed[r], p, " ")
        for (k = 1; k <= m; k++)
            if (p[k] == "*" || index(header, p[k]) == 1) return 1
        return 0
    }
    END {
        for (f = 1; f <= nfiles; f++) {
            file = files[f]
            for (r = 1; r <= nrules; r++)
                if (area[r] == "*" || index(file, area[r]) == 1) break
            line = 0
            while ((getline text < file) > 0) {
                line++
                if (text !~ /^[ \t]*#[ \t]*include[ \t]*[<"]/) continue
                header = text
                sub(/^[ \t]*#[ \t]*include[ \t]*[<"]/, "", header)
                sub(/[>"].*$/, "", header)
                where = file ":" line
                if (header ~ /^(engine|app|tools)\//) {
                    # Only a path from the top of the tree counts: a folder-relative include
                    # that merely starts the same way (tests/app/x.h as "app/x.h") is not one.
                    if ((header in tracked) && !allows(r, header))
                        fail(where, header, area[r] " may include only" allowed[r])
                } else if (header ~ /^Q[A-Za-z]/) {
                    if (qt[r] == "none")
                        fail(where, header, area[r] " uses no Qt")
                    else if (qt[r] == "core" && (header in widget || header ~ /^QtWidgets(\/|$)/))
                        fail(where, header, "QtWidgets; only app/gui, app/entry and " \
                                            "tests/gui show windows")
                }
            }
            close(file)
        }
        if (failures) {
            printf "check-layers: %d include(s) cross the layers (the table is at the top of %s)\n",
                   failures, script > "/dev/stderr"
            exit 1
        }
        print "check-layers: every include respects the layers"
    }'
