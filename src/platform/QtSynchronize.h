#pragma once
// Lets worker threads' Synchronize calls run on the window's thread through Qt's event loop.
void InstallQtSynchronize();
