#pragma once

#include "console/AppChooser.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace vesk {

// The app selector's widgets over an AppChooser: the search field, the ticked list, its limit
// line, the typed-identifier line and "Select All Vesk Apps".
class AppChooserView : public QWidget {
    Q_OBJECT
public:
    AppChooserView(AppChooser &chooser, const QString &searchName, QWidget *parent = nullptr);

private:
    void refresh();

    AppChooser &m_chooser;
    QLineEdit *m_search;
    QListWidget *m_list;
    QLabel *m_limit;
    QLabel *m_typed;
    bool m_filling = false;
};

} // namespace vesk
