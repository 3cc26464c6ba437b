#pragma once

#include "console/LocalListModel.h"

#include <QWidget>

class QFormLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vesk {

// The frame of a maintenance screen over its list model: the title; Add, Edit… and Remove
// (the last two for this Mac's own rows only) beside the model's activity; its message; the
// rows or the empty state; an editor under the list that starts with the name and ends with
// the draft's problem, Cancel and Save; and the recent activity. A screen adds its buttons to
// m_buttons (and m_rowButtons), its fields to m_form, then calls finish().
class LocalListPage : public QWidget {
    Q_OBJECT
public:
    // The screen's words and the object names of its parts (a messageName where it has messages).
    struct Setup {
        QString title, addButton, editorTitle;
        QString pageName, listName, emptyName, messageName{}, editorName, problemName;
    };

protected:
    LocalListPage(const Setup &setup, QWidget *parent);

    // Adds the editor's last row, follows `model` and shows its rows.
    void finish(LocalListModel &model);
    // The selected row, or a null id.
    QUuid selectedId() const;
    // Closes the editor when the draft was kept, or shows why not.
    void saved(bool kept, const QString &refusal);

    QHBoxLayout *m_buttons;
    QLabel *m_activity;
    QFormLayout *m_form;
    QLineEdit *m_name;
    QLabel *m_problem;
    QList<QPushButton *> m_rowButtons; // for any selected row, the policy's too

private:
    // Fills the editor with this Mac's item `id`, or with a new one for a null id.
    virtual void load(const QUuid &id) = 0;
    virtual void remove(const QUuid &id) = 0;
    virtual void save() = 0;

    void openEditor(const QUuid &id);
    void refresh();
    void updateButtons();

    LocalListModel *m_model = nullptr;
    QListWidget *m_list;
    QLabel *m_empty;
    QLabel *m_message;
    QPushButton *m_add;
    QPushButton *m_edit;
    QPushButton *m_remove;
    QGroupBox *m_editor;
    QLabel *m_logTitle;
    QListWidget *m_log;
};

} // namespace vesk
