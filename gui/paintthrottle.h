#pragma once
// Holds a widget's repaints to at most one per interval while what it shows
// changes faster than that. A queue of small files can finish hundreds of
// entries a second; painting the view after each of them would cost more
// than the downloads themselves, and nobody can read ten frames a second
// anyway. Input is still answered: a held widget paints at the end of the
// interval, so a click or a scroll shows at most one interval late.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QAbstractItemModel;
class QAbstractScrollArea;

namespace pm {

class PaintThrottle : public QObject {
    Q_OBJECT
public:
    // Throttles `view`'s repaints for the changes of `model`. Make it before
    // the view gets the model, so that it hears of each change first.
    PaintThrottle(QAbstractScrollArea* view, QAbstractItemModel* model, int intervalMs);

    // Whether repaints are being held right now.
    bool holding() const;

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void contentChanging();
    void release();

    QAbstractScrollArea* m_view;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;  // invalid until the first paint, and again after a release
    QTimer m_release;
};

}  // namespace pm
