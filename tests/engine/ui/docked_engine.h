#pragma once

#include "engine/ui/pictavo.h"

#include <QApplication>
#include <QScrollArea>
#include <QEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

// Counts the paints a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// A real engine docked into a host window the way the main window docks it, on screen (offscreen platform).
class DockedEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        Host = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(Host.get());
        layout->setContentsMargins(0, 0, 0, 0);
        Engine = std::make_unique<TPictavo>();
        Engine->Form()->setParent(Host.get());
        layout->addWidget(Engine->Form());
        Engine->Form()->show();
        Host->resize(520, 700);
        Host->show();
        Engine->SetViewSize(kViewOverall);
        Engine->Refresh();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        Engine.reset();
        Host.reset();
    }

    // The engine's widgets, found by their object names.
    template <class T = QWidget>
    T* Part(const char* name) const
    {
        return Engine->Form()->findChild<T*>(name);
    }
    QScrollArea* ScrollBox() const { return Part<QScrollArea>("ScrollBox"); }
    QWidget* Page() const { return Part("Page"); }
    QWidget* ToolbarPanel() const { return Part("ToolbarPanel"); }
    QWidget* ToolbarForm() const { return Part("ToolbarForm"); }

    std::unique_ptr<QWidget> Host;
    std::unique_ptr<TPictavo> Engine;
};
