#pragma once
// The bulk rows of the scale benchmark (bench/scale_fill.sql), written server-side into a
// PostgreSQL database that already holds the schema and the demo data.
#include <QString>

#include <functional>

class TClientConnection;

struct TScaleSize {
    qint64 Goods = 200000;  // goods ids run up to this
    qint64 Clients = 20000; // partner ids run up to this; the new ones alternate vendor, customer
    qint64 Bills = 1000000; // new bills over all kinds
};

// Runs the fill script's steps with the sizes put in, then moves the keys on and analyses the
// tables; says each step and its time through `progress`. Throws EDatabaseError when a step
// fails.
void FillScaleData(TClientConnection& con, const TScaleSize& size, const std::function<void(const QString&)>& progress);
