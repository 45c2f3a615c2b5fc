// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the statistics routines with their floating-point fault checks: a summed probability curve of
// many dates calls NormalDensity once per date and point.
#include "calc/model_age.h"
#include "calc/statistics.h"
#include "core/scripted_interaction.h"

#include <QElapsedTimer>
#include <QList>
#include <cstdio>

int main()
{
    using namespace kv::calc;
    constexpr int dates = 2000;
    constexpr int points = 1000;
    QElapsedTimer timer;
    timer.start();
    double sum = 0;
    for (int d = 0; d < dates; ++d) {
        const double age = 100 + d * 0.5;
        for (int p = 0; p < points; ++p)
            sum += NormalDensity(p * 1.2, age, 5 + d % 7);
    }
    const qint64 densityMs = timer.elapsed();
    std::printf("NormalDensity: %d calls in %lld ms (%.1f ns a call), sum %.6f\n", dates * points,
                static_cast<long long>(densityMs), densityMs * 1e6 / (double(dates) * points), sum);

    QList<AgeSigma> list;
    for (int d = 0; d < 100000; ++d)
        list.append({250 + (d % 13) * 0.1, 1 + (d % 5) * 0.2});
    timer.restart();
    const WeightedMean mean = WeightedMeanOfAges(list);
    kv::ScriptedInteraction ui;
    const double probability = FProbability(mean.n - 1, 999, mean.mswd, ui);
    std::printf("WeightedMeanOfAges + FProbability over %lld dates: %lld ms (mean %.6f, MSWD %.6f, p %.6f)\n",
                static_cast<long long>(list.size()), static_cast<long long>(timer.elapsed()), mean.mean,
                mean.mswd, probability);

    timer.restart();
    double ages = 0;
    constexpr int samples = 100000;
    for (int i = 0; i < samples; ++i)
        ages += ModelAge(6.54e-12, 0.51315, -1.4e-12, 5e-23, 0.5115 - (i % 100) * 1e-6, 0.11);
    std::printf("ModelAge (Newton): %d calls in %lld ms, mean age %.6f Ma\n", samples,
                static_cast<long long>(timer.elapsed()), ages / samples);
    return 0;
}
