#include "console/TextListPage.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace vesk {

TextListPage::TextListPage(const QString &title, QString emptyText, std::function<QStringList()> rows,
                           QWidget *parent)
    : QWidget(parent), m_emptyText(std::move(emptyText)), m_rows(std::move(rows)), m_list(new QListWidget),
      m_empty(new QLabel)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("<h2>%1</h2>").arg(title.toHtmlEscaped())));
    m_empty->setObjectName(QStringLiteral("textListEmpty"));
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_list->setObjectName(QStringLiteral("textListRows"));
    layout->addWidget(m_empty, 1);
    layout->addWidget(m_list, 1);
    refresh();
}

void TextListPage::refresh()
{
    const QStringList rows = m_rows();
    m_list->clear();
    m_list->addItems(rows);
    m_list->setVisible(!rows.isEmpty());
    m_empty->setText(m_emptyText);
    m_empty->setVisible(rows.isEmpty());
}

} // namespace vesk
