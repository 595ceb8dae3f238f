#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QIODevice;
QT_END_NAMESPACE

namespace vesh {

// Writes an applet's properties to out, one line per update, and ends the
// run after the requested number of updates (counted over all printers).
class UpdatePrinter : public QObject
{
    Q_OBJECT

public:
    UpdatePrinter(QObject *applet, QIODevice *out, bool json, bool withClassName, int count, QObject *parent);

    // Prints on every distinct NOTIFY signal of the applet's own properties.
    void followUpdates();

    // True once the requested number of updates has been printed.
    static bool done() { return s_done; }

public slots:
    void print();

private:
    QObject *m_applet;
    QIODevice *m_out;
    bool m_json;
    bool m_withClassName;
    int m_remaining;
    static inline int s_printed = 0;
    static inline bool s_done = false;
};

} // namespace vesh
