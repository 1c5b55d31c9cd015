#include "screens/ActionSheet.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

ActionSheet::ActionSheet(const QString& title, QWidget* content, QWidget* parent)
    : QWidget(parent), mContent(content)
{
    setObjectName(QStringLiteral("actionSheet"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(30, 30, 30, 235));
    setPalette(pal);
    resize(kWidth, kHeight);

    mTitle = new QLabel(title, this);
    QFont f = mTitle->font();
    f.setBold(true);
    f.setPixelSize(18);
    mTitle->setFont(f);
    QPalette titlePalette = mTitle->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    mTitle->setPalette(titlePalette);
    mTitle->setGeometry(12, 7, 200, 30);

    // The content comes first in the Tab order, then "Done".
    content->setParent(this);
    if (content->accessibleName().isEmpty())
        content->setAccessibleName(title);
    mDone = new QPushButton(QStringLiteral("Done"), this);
    mDone->setObjectName(QStringLiteral("doneButton"));
    layoutParts();
    connect(mDone, &QPushButton::clicked, this, [this] {
        emit done();
        dismiss();
    });
    hide();
}

void ActionSheet::showInView(QWidget* host)
{
    QWidget* window = host->window();
    setParent(window);
    setGeometry(0, qMax(0, window->height() - kHeight), qMax(kWidth, window->width()), kHeight);
    raise();
    show();
    mContent->setFocus();
}

void ActionSheet::resizeEvent(QResizeEvent*)
{
    layoutParts();
}

void ActionSheet::layoutParts()
{
    mContent->setGeometry(0, 44, width(), 216);
    mDone->setGeometry(width() - 80, 7, 70, 30);
}

void ActionSheet::dismiss()
{
    hide();
    deleteLater();
}

void ActionSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}
