#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

// One QApplication for the whole test program, made before the first test.
class QtAppEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "test_lamp";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};
