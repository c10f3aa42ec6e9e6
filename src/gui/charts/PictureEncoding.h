#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QPainter;

/**
 * The bytes of a picture of width x height that draw paints: PNG, SVG or PDF by path's
 * extension (SVG and PDF stay vector graphics); none with the reason in error.
 */
[[nodiscard]] std::optional<std::string> encodePicture(int width, int height, const QString& path,
                                                       QString& error,
                                                       const std::function<void(QPainter&)>& draw);
