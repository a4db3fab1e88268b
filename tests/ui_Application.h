// The one application object of the window tests.
#pragma once

#include <QApplication>

// Made before the first test of the program and never taken down: destroyed
// among the other static objects at exit, the application would delete input
// devices whose registry is already gone.
QApplication& TestApplication();
