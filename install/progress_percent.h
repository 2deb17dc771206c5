// The one progress percentage shown for a whole installation: the download fills the
// first DownloadScale of the bar, the package run the rest.
#pragma once

/// trunc(v * scale * 100) for a download fraction v.
int DownloadPercent(double fraction, double scale);

/// The package run's share. Every progress report advances it by at least 0.15 of its span
/// (never beyond 0.95 unless the package itself reports more); the fraction is kept between
/// reports and never reset, as the window keeps it for its whole life.
class InstallProgress {
public:
    /// The percentage for a package report of `fraction`.
    int Next(double fraction, double scale);
    double Fraction() const { return fraction_; }

private:
    double fraction_ = 0.0;
};
