#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <vector>

/// A Whisper model that Settings offers for download.
struct CatalogModel {
    QString name;    ///< As upstream names it, such as "base.en".
    int sizeMiB = 0; ///< Roughly, for the user and for the free-space check.
    QByteArray sha1; ///< Of the whole file, in hexadecimal, as upstream publishes it.

    /// "ggml-<name>.bin", the file name upstream and the models folder use.
    QString fileName() const;
    /// The .en models know English only.
    bool isEnglishOnly() const;
};

/// The official ggml models, smallest first within each family.
const std::vector<CatalogModel>& whisperModelCatalog();

/// The catalog entry of that name, or nothing.
const CatalogModel* findCatalogModel(const QString& name);

/// Where upstream keeps the models; a mirror keeps them under the same file names.
inline constexpr char officialModelBase[] = "https://huggingface.co/ggerganov/whisper.cpp/resolve/main/";

/// The address to download the model from: under mirror (the value of MURMURO_MODEL_MIRROR) when it is not
/// empty, else under the official base. Invalid when the mirror is not an http or https address with a host.
QUrl catalogModelUrl(const CatalogModel& model, const QString& mirror);

/// $XDG_DATA_HOME/Murmuro/models, where downloaded models are kept.
QString whisperModelsDirectory();

/// The file the whisperModel setting names: itself when it is an absolute path, else the catalog model of
/// that name in the models folder.
QString whisperModelFile(const QString& setting);
