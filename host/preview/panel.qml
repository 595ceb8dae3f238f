// A compact horizontal panel strip bound to the temperature applet's
// properties, as the shell's front end would draw them.
pragma ComponentBehavior: Bound

import QtQuick

Rectangle {
    id: panel

    required property QtObject applet

    // What the strip shows of the applet, typed; the rest of the scene uses
    // only these. The applet's class comes from a plugin loaded at run
    // time, which the linter cannot see, so its members are unknown to it
    // on these lines alone. The bindings follow tempsChanged.
    // qmllint disable missing-property
    readonly property int cpuTemp: applet.cpuTemp
    readonly property int cpuTempTctl: applet.cpuTempTctl
    readonly property string cpuLabel: applet.cpuLabel
    readonly property int gpuTemp: applet.gpuTemp
    readonly property int gpuTempJunction: applet.gpuTempJunction
    readonly property int gpuTempMem: applet.gpuTempMem
    readonly property string gpuLabel: applet.gpuLabel
    readonly property string netSpeed: applet.netSpeed
    readonly property string memUsage: applet.memUsage
    // qmllint enable missing-property

    // Follows the desktop; a host may set it.
    property bool dark: Application.styleHints.colorScheme === Qt.Dark
    readonly property color ink: dark ? "#e6e6e6" : "#1d1f21"
    readonly property color faint: dark ? "#9a9fa6" : "#5c6370"
    readonly property color warm: dark ? "#ffb86c" : "#b35900"
    readonly property color hot: dark ? "#ff6e6e" : "#c0262d"

    function heat(degrees: int): color {
        return degrees >= 85 ? hot : degrees >= 70 ? warm : ink
    }

    implicitWidth: strip.implicitWidth + 24
    implicitHeight: 34
    color: dark ? "#1e1f22" : "#f4f5f7"

    // Labels hold a machine's text: drawn as it is, never as markup.
    component Caption: Text {
        textFormat: Text.PlainText
        color: panel.faint
        font.pixelSize: 11
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
    }
    component Figure: Text {
        textFormat: Text.PlainText
        color: panel.ink
        font.pixelSize: 14
        font.bold: true
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
    }

    Row {
        id: strip
        x: 12
        height: parent.height
        spacing: 16

        Row {
            spacing: 5
            height: parent.height
            Caption { text: "CPU" }
            Figure {
                text: panel.cpuLabel === "" ? "n/a" : panel.cpuTemp + "°"
                color: panel.heat(panel.cpuTemp)
            }
            Caption {
                visible: panel.cpuTempTctl > 0
                text: "die " + panel.cpuTempTctl + "°"
            }
            Caption { text: panel.cpuLabel }
        }

        Row {
            spacing: 5
            height: parent.height
            Caption { text: "GPU" }
            Figure {
                text: panel.gpuLabel === "" ? "n/a" : panel.gpuTemp + "°"
                color: panel.heat(panel.gpuTemp)
            }
            // Not every card reports these (some have temp1 only).
            Caption {
                visible: panel.gpuTempJunction > 0
                text: "junction " + panel.gpuTempJunction + "°"
            }
            Caption {
                visible: panel.gpuTempMem > 0
                text: "mem " + panel.gpuTempMem + "°"
            }
            Caption { text: panel.gpuLabel }
        }

        Figure {
            text: panel.netSpeed
            font.bold: false
        }

        Figure {
            text: panel.memUsage
            font.bold: false
        }
    }
}
