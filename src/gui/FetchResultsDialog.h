#pragma once

#include <QDialog>

#include <QList>

struct FetchResult;

/** What "Fetch all missing" did, a row a machine (machine, kind, entry, result), on screen until closed. */
class FetchResultsDialog : public QDialog
{
    Q_OBJECT
public:
    FetchResultsDialog(const QList<FetchResult>& results, QWidget* parent = nullptr);
};
