#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vesk {

class MachineNotesModel;

// The machine detail's notes: a line to add one, the list with a delete button, the error.
class MachineNotesPanel : public QWidget {
    Q_OBJECT
public:
    explicit MachineNotesPanel(MachineNotesModel &model, QWidget *parent = nullptr);

private:
    void refresh();

    MachineNotesModel &m_model;
    QLineEdit *m_text;
    QPushButton *m_add;
    QListWidget *m_notes;
    QPushButton *m_delete;
    QLabel *m_message;
};

} // namespace vesk
