#include "console/LocalListPage.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

LocalListPage::LocalListPage(const Setup &setup, QWidget *parent)
    : QWidget(parent), m_buttons(new QHBoxLayout), m_activity(new QLabel), m_name(new QLineEdit),
      m_problem(new QLabel), m_list(new QListWidget), m_empty(new QLabel), m_message(new QLabel),
      m_add(new QPushButton(setup.addButton)), m_edit(new QPushButton(tr("Edit…"))),
      m_remove(new QPushButton(tr("Remove"))), m_editor(new QGroupBox(setup.editorTitle)),
      m_logTitle(new QLabel(tr("<b>Recent activity</b>"))), m_log(new QListWidget)
{
    setObjectName(setup.pageName);
    m_list->setObjectName(setup.listName);
    m_empty->setObjectName(setup.emptyName);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_message->setObjectName(setup.messageName);
    m_message->setWordWrap(true);
    m_editor->setObjectName(setup.editorName);
    m_problem->setObjectName(setup.problemName);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b3261e"));
    auto *title = new QLabel(setup.title);
    title->setStyleSheet(QStringLiteral("font-size: 18px; font-weight: bold"));

    m_buttons->addWidget(m_add);
    m_buttons->addWidget(m_edit);
    m_buttons->addWidget(m_remove);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(m_buttons);
    layout->addWidget(m_message);
    layout->addWidget(m_empty);
    layout->addWidget(m_list, 2);
    layout->addWidget(m_editor);
    layout->addWidget(m_logTitle);
    layout->addWidget(m_log, 1);
    layout->addStretch();
    m_form = new QFormLayout(m_editor);
    m_form->addRow(tr("Name"), m_name);
    m_editor->hide();

    connect(m_add, &QPushButton::clicked, this, [this]() { openEditor(QUuid()); });
    connect(m_edit, &QPushButton::clicked, this, [this]() {
        if (m_model->isOwn(selectedId()))
            openEditor(selectedId());
    });
    connect(m_remove, &QPushButton::clicked, this, [this]() {
        if (m_model->isOwn(selectedId()))
            remove(selectedId());
    });
    connect(m_list, &QListWidget::currentRowChanged, this, &LocalListPage::updateButtons);
}

void LocalListPage::finish(LocalListModel &model)
{
    m_model = &model;
    auto *save = new QPushButton(tr("Save"));
    auto *cancel = new QPushButton(tr("Cancel"));
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_problem, 1);
    actions->addWidget(cancel);
    actions->addWidget(save);
    m_form->addRow(actions);
    connect(cancel, &QPushButton::clicked, m_editor, &QWidget::hide);
    connect(save, &QPushButton::clicked, this, &LocalListPage::save);
    m_add->setEnabled(model.isAvailable());
    connect(&model, &LocalListModel::changed, this, &LocalListPage::refresh);
    refresh();
}

QUuid LocalListPage::selectedId() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toUuid() : QUuid();
}

void LocalListPage::saved(bool kept, const QString &refusal)
{
    if (kept)
        m_editor->hide();
    else
        m_problem->setText(refusal);
}

void LocalListPage::openEditor(const QUuid &id)
{
    load(id);
    m_editor->show();
    m_name->setFocus();
}

void LocalListPage::refresh()
{
    const QUuid selected = selectedId();
    {
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const LocalListModel::Row &row : m_model->rows()) {
            auto *item =
                new QListWidgetItem(QStringList{row.title, row.summary, row.status}.join(QLatin1Char('\n')), m_list);
            item->setData(Qt::UserRole, row.id);
            if (!selected.isNull() && row.id == selected)
                m_list->setCurrentItem(item);
        }
    }
    m_empty->setText(m_model->emptyText());
    m_empty->setVisible(!m_model->emptyText().isEmpty());
    m_list->setVisible(m_list->count() > 0);
    m_message->setText(m_model->message());
    m_message->setVisible(!m_model->message().isEmpty());
    m_activity->setText(m_model->activityText());
    updateButtons();
    m_log->clear();
    m_log->addItems(m_model->logLines());
    m_logTitle->setVisible(m_log->count() > 0);
    m_log->setVisible(m_log->count() > 0);
}

void LocalListPage::updateButtons()
{
    const bool own = m_model->isOwn(selectedId());
    m_edit->setEnabled(own);
    m_remove->setEnabled(own);
    for (QPushButton *button : m_rowButtons)
        button->setEnabled(!selectedId().isNull());
}

} // namespace vesk
