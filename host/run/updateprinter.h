#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace vesh {

// The updates a run prints over all its applets' printers, and whether
// that is as many as were asked for.
struct UpdateCount
{
    int wanted = 0; // 0: as many as come
    int printed = 0;
    bool reached() const { return wanted > 0 && printed >= wanted; }
};

// Writes an applet's properties to out, one line per update, and ends the
// run once count has reached what it wants.
class UpdatePrinter : public QObject
{
    Q_OBJECT

public:
    UpdatePrinter(QObject *applet, QIODevice *out, bool json, bool withClassName, UpdateCount *count,
                  QObject *parent);

    // Prints on every distinct NOTIFY signal of the applet's own properties.
    void followUpdates();

public slots:
    void print();

private:
    QObject *m_applet;
    QIODevice *m_out;
    bool m_json;
    bool m_withClassName;
    UpdateCount *m_count;
};

} // namespace vesh
