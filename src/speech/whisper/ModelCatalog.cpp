#include "speech/whisper/ModelCatalog.h"

#include "net/WebRequest.h"

#include <QDir>
#include <QStandardPaths>

QString CatalogModel::fileName() const {
    return QStringLiteral("ggml-%1.bin").arg(name);
}

bool CatalogModel::isEnglishOnly() const {
    return name.endsWith(QLatin1String(".en"));
}

const std::vector<CatalogModel>& whisperModelCatalog() {
    static const std::vector<CatalogModel> catalog = {
        {QStringLiteral("tiny.en"), 75, "c78c86eb1a8faa21b369bcd33207cc90d64ae9df"},
        {QStringLiteral("base.en"), 142, "137c40403d78fd54d454da0f9bd998f78703390c"},
        {QStringLiteral("small.en"), 466, "db8a495a91d927739e50b3fc1cc4c6b8f6c2d022"},
        {QStringLiteral("base"), 142, "465707469ff3a37a2b9b8d8f89f2f99de7299dac"},
        {QStringLiteral("small"), 466, "55356645c2b361a969dfd0ef2c5a50d530afd8d5"},
        {QStringLiteral("large-v3-turbo-q5_0"), 547, "e050f7970618a659205450ad97eb95a18d69c9ee"},
    };
    return catalog;
}

const CatalogModel* findCatalogModel(const QString& name) {
    for (const CatalogModel& model : whisperModelCatalog()) {
        if (model.name == name) {
            return &model;
        }
    }
    return nullptr;
}

QUrl catalogModelUrl(const CatalogModel& model, const QString& mirror) {
    QString base = mirror.trimmed().isEmpty() ? QString::fromLatin1(officialModelBase) : mirror.trimmed();
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    const QUrl url = QUrl(base, QUrl::StrictMode).resolved(QUrl(model.fileName()));
    return isWebServerUrl(url) ? url : QUrl();
}

QString whisperModelsDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Murmuro/models");
}

QString whisperModelFile(const QString& setting) {
    if (QDir::isAbsolutePath(setting)) {
        return setting;
    }
    return whisperModelsDirectory() + QLatin1Char('/') + CatalogModel{setting, 0, {}}.fileName();
}
