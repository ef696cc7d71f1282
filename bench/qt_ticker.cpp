// The least a Qt clock can cost: one small frameless window that never changes and a timer
// aimed a few milliseconds past every wall-clock second (5 by default, as reloj aims its own),
// whose handler does nothing.
// bench/run measures it beside reloj so that the figures say how much of reloj's tick is the
// Qt event loop waking up and how much is reloj's own work.
//
//   qt_ticker LEFT TOP [MS]
#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int left = argc > 1 ? std::atoi(argv[1]) : 0;
    const int top = argc > 2 ? std::atoi(argv[2]) : 0;
    const int offset = argc > 3 ? std::atoi(argv[3]) : 5;

    QWidget window;
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    window.setWindowTitle("qt_ticker");
    window.setGeometry(left, top, 76, 76);
    window.show();

    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    const auto aim = [&timer, offset] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 next = (now / 1000 + 1) * 1000 + offset;
        timer.start(static_cast<int>(next - now));
    };
    QObject::connect(&timer, &QTimer::timeout, aim);
    aim();
    return QApplication::exec();
}
