#include "ui/WhisperModelList.h"

#include "core/AppState.h"
#include "speech/whisper/ModelDownloader.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

WhisperModelList::WhisperModelList(AppState& state, ModelDownloader& downloader, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_downloader(downloader) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    int line = 0;
    for (const CatalogModel& model : whisperModelCatalog()) {
        Row row{new QRadioButton(model.name, this), new QLabel(this),
                new QPushButton(QStringLiteral("Download"), this),
                new QPushButton(QStringLiteral("Cancel"), this),
                new QPushButton(QStringLiteral("Delete"), this)};
        row.choice->setObjectName(QStringLiteral("model-") + model.name);
        // The choice may also be a local file, outside this list: then no row is checked.
        row.choice->setAutoExclusive(false);
        row.state->setObjectName(QStringLiteral("state-") + model.name);
        row.download->setObjectName(QStringLiteral("download-") + model.name);
        row.cancel->setObjectName(QStringLiteral("cancel-") + model.name);
        row.remove->setObjectName(QStringLiteral("delete-") + model.name);
        grid->addWidget(row.choice, line, 0);
        grid->addWidget(new QLabel(QStringLiteral("%1 MB").arg(model.sizeMiB), this), line, 1);
        grid->addWidget(row.state, line, 2);
        grid->addWidget(row.download, line, 3);
        grid->addWidget(row.cancel, line, 4);
        grid->addWidget(row.remove, line, 5);
        ++line;
        connect(row.choice, &QRadioButton::clicked, this,
                [this, name = model.name] { m_state.setWhisperModel(name); });
        connect(row.download, &QPushButton::clicked, this, [this, model] {
            m_message->clear();
            m_downloader.download(model);
            showRow(model,
                    m_downloader.isDownloading(model.name) ? QStringLiteral("downloading 0 %") : QString());
        });
        connect(row.cancel, &QPushButton::clicked, this,
                [this, name = model.name] { m_downloader.cancel(name); });
        connect(row.remove, &QPushButton::clicked, this, [this, model] {
            m_message->setText(m_downloader.remove(model)
                                   ? QString()
                                   : QStringLiteral("The %1 model could not be deleted.").arg(model.name));
            showRow(model);
            emit modelsChanged();
        });
        m_rows.emplace(model.name, row);
    }
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("downloadMessage"));
    m_message->setWordWrap(true);
    grid->addWidget(m_message, line, 0, 1, 6);

    connect(&m_downloader, &ModelDownloader::progress, this,
            [this](const QString& name, qint64 received, qint64 total) {
                if (const CatalogModel* model = findCatalogModel(name)) {
                    showRow(*model, total > 0 ? QStringLiteral("downloading %1 %").arg(received * 100 / total)
                                              : QStringLiteral("downloading"));
                }
            });
    connect(&m_downloader, &ModelDownloader::finished, this, &WhisperModelList::downloadFinished);
    connect(&m_state, &AppState::whisperModelChanged, this, &WhisperModelList::refresh);
    refresh();
}

void WhisperModelList::refresh() {
    for (const CatalogModel& model : whisperModelCatalog()) {
        showRow(model,
                m_downloader.isDownloading(model.name) ? m_rows.at(model.name).state->text() : QString());
    }
}

void WhisperModelList::showRow(const CatalogModel& model, const QString& downloading) {
    const Row& row = m_rows.at(model.name);
    const bool ready = QFileInfo::exists(m_downloader.modelPath(model));
    const bool partial = QFileInfo::exists(m_downloader.partialPath(model));
    const bool running = !downloading.isEmpty();
    row.choice->setChecked(m_state.whisperModel() == model.name);
    row.state->setText(running ? downloading
                       : ready ? QStringLiteral("ready")
                               : QStringLiteral("not downloaded"));
    row.download->setEnabled(!ready && !running);
    row.cancel->setEnabled(running);
    row.remove->setEnabled(!running && (ready || partial));
}

void WhisperModelList::downloadFinished(const QString& name, const QString& error) {
    m_message->setText(error);
    if (const CatalogModel* model = findCatalogModel(name)) {
        showRow(*model);
    }
    if (error.isEmpty()) {
        emit modelsChanged();
    }
}
