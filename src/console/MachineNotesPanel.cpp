#include "console/MachineNotesPanel.h"

#include "console/MachineNotesModel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace vesk {

namespace {
constexpr int kNoteIdRole = Qt::UserRole + 1;
} // namespace

MachineNotesPanel::MachineNotesPanel(MachineNotesModel &model, QWidget *parent)
    : QWidget(parent), m_model(model), m_text(new QLineEdit), m_add(new QPushButton(tr("Add Note"))),
      m_notes(new QListWidget), m_delete(new QPushButton(tr("Delete Note"))), m_message(new QLabel)
{
    setObjectName(QStringLiteral("machineNotes"));
    m_text->setObjectName(QStringLiteral("noteText"));
    m_text->setPlaceholderText(tr("Add a note about this machine"));
    m_notes->setObjectName(QStringLiteral("notesList"));
    m_notes->setWordWrap(true);
    m_message->setObjectName(QStringLiteral("notesMessage"));
    m_message->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("<b>Notes</b>")));
    auto *entry = new QHBoxLayout;
    entry->addWidget(m_text, 1);
    entry->addWidget(m_add);
    layout->addLayout(entry);
    layout->addWidget(m_message);
    layout->addWidget(m_notes, 1);
    layout->addWidget(m_delete, 0, Qt::AlignRight);

    const auto add = [this]() {
        QPointer<MachineNotesPanel> self(this);
        m_model.add(m_text->text()).then([self](bool stored) {
            if (self && stored)
                self->m_text->clear();
        });
    };
    connect(m_add, &QPushButton::clicked, this, add);
    connect(m_text, &QLineEdit::returnPressed, this, add);
    connect(m_delete, &QPushButton::clicked, this, [this]() {
        if (QListWidgetItem *item = m_notes->currentItem(); item && item->data(kNoteIdRole).isValid())
            m_model.remove(item->data(kNoteIdRole).toLongLong());
    });
    connect(m_notes, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *item) { m_delete->setEnabled(item && item->data(kNoteIdRole).isValid()); });
    connect(&m_model, &MachineNotesModel::changed, this, &MachineNotesPanel::refresh);
    refresh();
}

void MachineNotesPanel::refresh()
{
    m_notes->clear();
    for (const MachineNote &note : m_model.notes()) {
        auto *item = new QListWidgetItem(MachineNotesModel::line(note), m_notes);
        item->setData(kNoteIdRole, note.id);
    }
    if (m_notes->count() == 0 && !m_model.emptyText().isEmpty())
        new QListWidgetItem(m_model.emptyText(), m_notes);
    m_message->setText(m_model.errorText());
    m_message->setVisible(!m_model.errorText().isEmpty());
    m_delete->setEnabled(false);
}

} // namespace vesk
