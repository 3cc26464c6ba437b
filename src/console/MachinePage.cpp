#include "console/MachinePage.h"

#include "console/MachineNotesPanel.h"
#include "console/NetworkScoutPanel.h"
#include "console/MachineSoftwarePage.h"
#include "platform/Clock.h"

#include <QCategoryAxis>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace vesk {

const QList<int> &MachinePage::hourChoices()
{
    static const QList<int> hours{1, 6, 24, 72, 168};
    return hours;
}

MachinePage::MachinePage(ConsoleFleet &fleet, const Clock &clock, QString noteAuthor, QWidget *parent)
    : QWidget(parent), m_clock(clock), m_model(fleet), m_title(new QLabel), m_lastSeen(new QLabel), m_status(new QLabel),
      m_hours(new QComboBox), m_telemetry(new QLabel), m_chart(new QChart),
      m_cpu(new QLineSeries), m_memory(new QLineSeries), m_disk(new QLineSeries), m_timeAxis(new QDateTimeAxis),
      m_restart(new QPushButton(tr("Restart Computer"))), m_commandResult(new QLabel),
      m_notes(fleet, std::move(noteAuthor)), m_network(new NetworkScoutPanel)
{
    m_title->setObjectName(QStringLiteral("machineTitle"));
    // A font rather than a style sheet: a style sheet brings in the style sheet engine, its
    // parser and its rule caches, all for one bold title.
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(18);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_status->setObjectName(QStringLiteral("machineStatus"));
    m_status->setWordWrap(true);
    m_telemetry->setObjectName(QStringLiteral("telemetryText"));
    m_commandResult->setObjectName(QStringLiteral("commandResult"));
    // Both quote what the server answered, which is shown as it came, never as markup.
    m_telemetry->setTextFormat(Qt::PlainText);
    m_commandResult->setTextFormat(Qt::PlainText);
    m_restart->setObjectName(QStringLiteral("restartComputer"));
    for (int hours : hourChoices())
        m_hours->addItem(tr("Last %n hour(s)", nullptr, hours), hours);
    m_hours->setCurrentIndex(static_cast<int>(hourChoices().indexOf(24)));

    m_cpu->setName(tr("CPU"));
    m_memory->setName(tr("Memory"));
    m_disk->setName(tr("Disk"));
    for (QLineSeries *series : {m_cpu, m_memory, m_disk})
        m_chart->addSeries(series);
    // Labelled by hand: a value axis's printf-style label format is parsed with a regular
    // expression on every layout.
    auto *percent = new QCategoryAxis;
    percent->setRange(0, 100);
    percent->setStartValue(0);
    percent->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int value = 0; value <= 100; value += 25)
        percent->append(QStringLiteral("%1%").arg(value), value);
    m_timeAxis->setFormat(QStringLiteral("dd.MM HH:mm"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(percent, Qt::AlignLeft);
    for (QLineSeries *series : {m_cpu, m_memory, m_disk}) {
        series->attachAxis(m_timeAxis);
        series->attachAxis(percent);
    }
    m_chart->setTitle(tr("Telemetry"));
    // Built over its chart: a view made without one creates a default chart that setChart()
    // would orphan rather than delete.
    m_chartView = new QChartView(m_chart);
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setMinimumHeight(260);

    auto *overview = new QWidget;
    auto *layout = new QVBoxLayout(overview);
    layout->addWidget(m_title);
    layout->addWidget(m_lastSeen);
    layout->addWidget(m_status);
    auto *range = new QHBoxLayout;
    range->addWidget(new QLabel(tr("Show")));
    range->addWidget(m_hours);
    range->addStretch();
    layout->addLayout(range);
    layout->addWidget(m_telemetry);
    layout->addWidget(m_chartView, 1);
    auto *activity = new QHBoxLayout;
    activity->addWidget(m_network, 1);
    activity->addWidget(new MachineNotesPanel(m_notes), 1);
    layout->addLayout(activity, 1);
    auto *commands = new QHBoxLayout;
    commands->addWidget(m_restart);
    commands->addWidget(m_commandResult, 1);
    layout->addLayout(commands);
    m_software = new MachineSoftwarePage(fleet, clock);
    auto *tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("machineTabs"));
    tabs->addTab(overview, tr("Overview"));
    tabs->addTab(m_software, tr("Software"));
    (new QVBoxLayout(this))->addWidget(tabs);

    connect(&m_model, &MachineDetailModel::changed, this, &MachinePage::refresh);
    connect(m_hours, &QComboBox::activated, this, [this](int index) { m_model.setHours(m_hours->itemData(index).toInt()); });
    connect(m_restart, &QPushButton::clicked, this, &MachinePage::confirmRestart);
}

void MachinePage::showMachine(const QString &serial, const QString &name, const QString &lastSeenLine)
{
    m_title->setText(name);
    m_lastSeen->setText(lastSeenLine);
    m_model.show(serial, name, m_hours->currentData().toInt());
    m_notes.show(serial, name);
    m_software->model().show(serial, name);
}

void MachinePage::confirmRestart()
{
    const auto answer = QMessageBox::question(this, m_model.restartConfirmTitle(), m_model.restartConfirmText(),
                                              QMessageBox::Cancel | QMessageBox::Ok, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        m_model.restartComputer();
}

void MachinePage::refresh()
{
    const QStringList lines = m_model.statusLines();
    m_status->setText(lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')));
    const QString telemetry = m_model.telemetryText();
    const QString charts = m_model.chartsText();
    m_telemetry->setText(telemetry.isEmpty() ? charts : telemetry);
    m_telemetry->setVisible(!m_telemetry->text().isEmpty());

    const TelemetrySeries &series = m_model.series();
    m_cpu->replace(series.cpu);
    m_memory->replace(series.memory);
    m_disk->replace(series.disk);
    // The axis spans the chosen range, ending now, so a quiet machine shows as a gap.
    const QDateTime end = m_clock.now();
    m_timeAxis->setRange(end.addSecs(-3600LL * m_model.hours()), end);
    m_chartView->setVisible(series.enoughPoints());
    m_commandResult->setText(m_model.commandText());
    m_network->showEvents(m_model.networkEvents());
}

} // namespace vesk
