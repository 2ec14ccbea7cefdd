#pragma once

#include "model/AppModel.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <array>

class AboutBox;
class CatalogueWindow;
class QLabel;
class StatusLine;
class QListWidget;
class QPlainTextEdit;

/**
 * The main window: shows the model's song list, used, missing and catalogue lists, gear folder listings, log and
 * status line at their fixed places, and forwards the user's clicks to the model. It paints what changed when the
 * model reports a long step as busy, at most once per screen frame, so long runs stay visible and fast.
 */
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppModel& model() const { return m_model; }
    /** The catalogue window while it is open. */
    CatalogueWindow* catalogueWindow() const;
    /** The About box while it is open. */
    AboutBox* aboutBox() const;
    /** The results of the last "Fetch all missing", while they are on screen. */
    QDialog* fetchResults() const;

    /** Brings every widget up to the model at once (the views otherwise catch up when the event loop runs). */
    void showModelNow();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void bindModel();
    QListWidget* listWidget(AppModel::List which) const;
    void markDirty(AppModel::List which);
    void scheduleUpdate();
    void fillList(AppModel::List which);
    void fillSongs();
    void showSelection();
    void onBusy();

    void openSongs();
    void scanTickedSongs();
    void moveSelected(bool toEffects);
    void openCatalogueWindow();
    void openAboutBox();
    void catalogueClicked(AppModel::Kind kind);
    void gearListingClicked(QListWidget* clicked, QListWidget* other);

    AppModel& m_model;
    QPointer<CatalogueWindow> m_catalogueWindow;
    QPointer<AboutBox> m_about;
    QPointer<class FetchResultsDialog> m_fetchResults;

    QSet<AppModel::List> m_dirtyLists;
    bool m_updateScheduled = false;
    bool m_statusDirty = false;
    bool m_logReset = false;
    QStringList m_pendingLog;
    bool m_currentSongDirty = false;
    QElapsedTimer m_sincePaint;
    bool m_showingModel = false;

    QListWidget* m_songList;
    QPlainTextEdit* m_log;
    QListWidget* m_generatorFiles;
    QListWidget* m_effectFiles;
    QListWidget* m_generatorsUsed;
    QListWidget* m_effectsUsed;
    QListWidget* m_missingGenerators;
    QListWidget* m_missingEffects;
    QListWidget* m_generatorCatalogue;
    QListWidget* m_effectCatalogue;
    StatusLine* m_statusLine;
    /** The list widget of each of the model's lists, in the order of AppModel::List. */
    std::array<QListWidget*, 9> m_lists{};
};
