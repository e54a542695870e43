#include "appicon.h"

QIcon ApplicationIcon() {
    // The pictures live in a static library: its resources must be registered by hand.
    Q_INIT_RESOURCE(appicon);
    QIcon icon;
    for (int size : kIconSizes)
        icon.addFile(QStringLiteral(":/icons/tarno-recorder-%1.png").arg(size), QSize(size, size));
    return icon;
}
