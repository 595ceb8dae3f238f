#pragma once

#include <QObject>

namespace vesh {

// Prints an applet's properties, one line per update, and ends the run
// after the requested number of updates (counted over all printers).
class UpdatePrinter : public QObject
{
    Q_OBJECT

public:
    UpdatePrinter(QObject *applet, bool json, bool withClassName, int count, QObject *parent);

    // Prints on every distinct NOTIFY signal of the applet's own properties.
    void followUpdates();

    // True once the requested number of updates has been printed.
    static bool done() { return s_done; }

public slots:
    void print();

private:
    QObject *m_applet;
    bool m_json;
    bool m_withClassName;
    int m_remaining;
    static inline int s_printed = 0;
    static inline bool s_done = false;
};

} // namespace vesh
