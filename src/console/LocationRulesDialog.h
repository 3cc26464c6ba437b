#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vesk {

class LocationRulesModel;

// "Location notification rules": the rules listed with their state, a location to add, and the
// mute, unmute, category switches and removal of the selected one.
class LocationRulesDialog final : public QDialog {
    Q_OBJECT
public:
    explicit LocationRulesDialog(LocationRulesModel &model, QWidget *parent = nullptr);

private:
    QString selectedCode() const;
    void refresh();
    void updateSelection();

    LocationRulesModel &m_model;
    QListWidget *m_list;
    QLineEdit *m_code;
    QLineEdit *m_name;
    QLabel *m_message;
    QLabel *m_banner;
    QPushButton *m_mute;
    QPushButton *m_unmute;
    QPushButton *m_remove;
    QList<QCheckBox *> m_categories;
};

} // namespace vesk
