#pragma once

#include <QWidget>

#include <map>

class AppState;
class ModelDownloader;
class QLabel;
class QPushButton;
class QRadioButton;
struct CatalogModel;

/// The catalog's Whisper models, one row each: a button that makes it the model of dictations, its size,
/// its state (not downloaded, downloading nn %, ready) and Download, Cancel and Delete.
class WhisperModelList : public QWidget {
    Q_OBJECT

public:
    WhisperModelList(AppState& state, ModelDownloader& downloader, QWidget* parent = nullptr);

    /// Reads the models folder again.
    void refresh();

signals:
    /// A model was put in place or deleted.
    void modelsChanged();

private:
    struct Row {
        QRadioButton* choice;
        QLabel* state;
        QPushButton* download;
        QPushButton* cancel;
        QPushButton* remove;
    };

    void showRow(const CatalogModel& model, const QString& downloading = QString());
    void downloadFinished(const QString& name, const QString& error);

    AppState& m_state;
    ModelDownloader& m_downloader;
    std::map<QString, Row> m_rows;
    QLabel* m_message;
};
