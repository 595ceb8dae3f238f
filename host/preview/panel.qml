// A compact horizontal panel strip bound to the temperature applet's
// properties, as the shell's front end would draw them.
import QtQuick

Rectangle {
    id: panel

    required property QtObject applet

    // Follows the desktop; a host may set it.
    property bool dark: Qt.styleHints.colorScheme === Qt.Dark
    readonly property color ink: dark ? "#e6e6e6" : "#1d1f21"
    readonly property color faint: dark ? "#9a9fa6" : "#5c6370"
    readonly property color warm: dark ? "#ffb86c" : "#b35900"
    readonly property color hot: dark ? "#ff6e6e" : "#c0262d"

    function heat(degrees) {
        return degrees >= 85 ? hot : degrees >= 70 ? warm : ink
    }

    implicitWidth: strip.implicitWidth + 24
    implicitHeight: 34
    color: dark ? "#1e1f22" : "#f4f5f7"

    component Caption: Text {
        color: panel.faint
        font.pixelSize: 11
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
    }
    component Figure: Text {
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
                text: panel.applet.cpuLabel === "" ? "n/a" : panel.applet.cpuTemp + "°"
                color: panel.heat(panel.applet.cpuTemp)
            }
            Caption {
                visible: panel.applet.cpuTempTctl > 0
                text: "Tctl " + panel.applet.cpuTempTctl + "°"
            }
            Caption { text: panel.applet.cpuLabel }
        }

        Row {
            spacing: 5
            height: parent.height
            Caption { text: "GPU" }
            Figure {
                text: panel.applet.gpuLabel === "" ? "n/a" : panel.applet.gpuTemp + "°"
                color: panel.heat(panel.applet.gpuTemp)
            }
            // Not every card reports these (nouveau has temp1 only).
            Caption {
                visible: panel.applet.gpuTempJunction > 0
                text: "junction " + panel.applet.gpuTempJunction + "°"
            }
            Caption {
                visible: panel.applet.gpuTempMem > 0
                text: "mem " + panel.applet.gpuTempMem + "°"
            }
            Caption { text: panel.applet.gpuLabel }
        }

        Figure {
            text: panel.applet.netSpeed
            font.bold: false
        }

        Figure {
            text: panel.applet.memUsage
            font.bold: false
        }
    }
}
