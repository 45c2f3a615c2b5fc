// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the statistics routines with their floating-point fault checks: a summed probability curve of
// many dates calls NormalDensity once per date and point.
#include "calc/dispersion.h"
#include "calc/kernel_density.h"
#include "calc/model_age.h"
#include "calc/statistics.h"
#include "core/scripted_interaction.h"

#include <QElapsedTimer>
#include <QList>
#include <cmath>
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
    const ConventionalMswd conventional = ConventionalMswdOfAges(list);
    const RandomEffectsMean random = RandomEffectsMeanOfAges(list);
    std::printf("ConventionalMswdOfAges + RandomEffectsMeanOfAges over %lld dates: %lld ms (MSWD %.6f, "
                "omega %.6f)\n",
                static_cast<long long>(list.size()), static_cast<long long>(timer.elapsed()), conventional.mswd,
                random.dispersion);

    // 100,000 ages in three populations spread over 3000 Ma.
    std::vector<double> spread;
    for (int d = 0; d < 100000; ++d)
        spread.push_back((d % 3) * 1000 + 500 + 40 * std::sin(d * 0.7319) + 3 * std::cos(d * 1.37));
    for (const bool adaptive : {false, true}) {
        timer.restart();
        const KernelDensity density = KernelDensityOf(spread, DefaultDensityGrid(spread), adaptive);
        std::printf("KernelDensityOf%s over %lld ages, 512 points: %lld ms (bandwidth %.4f)\n",
                    adaptive ? " (adaptive)" : "", static_cast<long long>(spread.size()),
                    static_cast<long long>(timer.elapsed()), density.bandwidth);
    }

    timer.restart();
    double ages = 0;
    constexpr int samples = 100000;
    for (int i = 0; i < samples; ++i)
        ages += ModelAge(6.54e-12, 0.51315, -1.4e-12, 5e-23, 0.5115 - (i % 100) * 1e-6, 0.11);
    std::printf("ModelAge (Newton): %d calls in %lld ms, mean age %.6f Ma\n", samples,
                static_cast<long long>(timer.elapsed()), ages / samples);
    return 0;
}
