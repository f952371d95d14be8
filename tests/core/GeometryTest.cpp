#include <gtest/gtest.h>

#include "core/GeneralException.h"
#include "core/Point.h"
#include "core/Rect.h"
#include "core/Size.h"

using VORLIN::GeneralException;
using VORLIN::Point;
using VORLIN::Rect;
using VORLIN::Size;
using VORLIN::String;

namespace {

template <class T>
T parsed(const char* text) {
    T v;
    v.fromString(text);
    return v;
}

template <class T>
std::string parseError(const char* text) {
    try {
        parsed<T>(text);
    } catch (const GeneralException& e) {
        return e.message();
    }
    return "no exception";
}

}  // namespace

TEST(PointTest, ReadsBothTextForms) {
    EXPECT_EQ(parsed<Point>("(3, 4)"), Point(3, 4));
    EXPECT_EQ(parsed<Point>("3,4"), Point(3, 4));
    EXPECT_EQ(parsed<Point>("(-7,12)"), Point(-7, 12));
    EXPECT_EQ(parsed<Point>(""), Point(0, 0));
    EXPECT_EQ(parsed<Size>("(30, 40)"), Size(30, 40));
    EXPECT_EQ(Point(3, -4).toString(), "(3, -4)");
}

TEST(PointTest, RejectsBareTextWithoutTwoPieces) {
    EXPECT_EQ(parseError<Point>("3,4,5"), "Point.fromString: malformed string");
    EXPECT_EQ(parseError<Point>("3"), "Point.fromString: malformed string");
    EXPECT_EQ(parseError<Size>("3,"), "Size.fromString: malformed string");
    Point p(1, 1);
    EXPECT_THROW(p.fromString("1,2,3"), GeneralException);
    EXPECT_EQ(p, Point(1, 1));  // a failed parse leaves the value alone
}

TEST(PointTest, ComparesInRowOrder) {
    EXPECT_EQ(Point(5, 1).compare(Point(1, 2)), -1);
    EXPECT_EQ(Point(1, 2).compare(Point(5, 1)), 1);
    EXPECT_EQ(Point(1, 2).compare(Point(3, 2)), -1);
    EXPECT_EQ(Point(3, 2).compare(Point(3, 2)), 0);
    EXPECT_EQ(Size(5, 1).compare(Size(1, 2)), -1);
    EXPECT_EQ(Point(4, 9).minus(1, 10), Size(3, -1));
}

TEST(RectTest, TextRoundTripAndErrors) {
    Rect r = parsed<Rect>("(1, 2)-[30, 40]");
    EXPECT_EQ(r, Rect(1, 2, 30, 40));
    EXPECT_EQ(r.toString(), "(1, 2)-[30, 40]");
    EXPECT_EQ(parsed<Rect>(""), Rect());
    EXPECT_EQ(parseError<Rect>("(1, 2)"), "Rect.fromString: malformed string\r\n");
    EXPECT_EQ(parseError<Rect>("[30, 40]"), "Rect.fromString: malformed string\r\n");
    EXPECT_EQ(Rect(9, 1, 1, 1).compare(Rect(0, 2, 5, 5)), -1);
}

TEST(RectTest, CornersAndConstruction) {
    Rect r(10, 20, 5, 8);
    EXPECT_EQ(r.corner(1, false), Point(10, 20));
    EXPECT_EQ(r.corner(5, true), Point(10, 20));
    EXPECT_EQ(r.corner(2, true), Point(14, 20));
    EXPECT_EQ(r.corner(3, false), Point(15, 28));
    EXPECT_EQ(r.corner(4, true), Point(10, 27));
    EXPECT_EQ(r.corner(0, false), Point(0, 0));
    int32_t l, t, rt, b;
    r.toCorners(l, t, rt, b);
    EXPECT_EQ(Rect::fromCorners(l, t, rt, b), r);
    EXPECT_EQ(Rect::fromPoints(15, 20, 10, 28), r);
}

TEST(RectTest, ContainsIsHalfOpen) {
    Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(0, 0));
    EXPECT_TRUE(r.contains(9, 9));
    EXPECT_FALSE(r.contains(10, 5));
    EXPECT_FALSE(r.contains(5, 10));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains(0, 0));
    // A negative height counts upwards from y: rows (0, 10].
    Rect up(0, 10, 10, -10);
    EXPECT_TRUE(up.contains(3, 10));
    EXPECT_FALSE(up.contains(3, 0));
    EXPECT_TRUE(r.containsRect(Rect(0, 0, 10, 10)));
    EXPECT_TRUE(r.containsRect(Rect(2, 2, 3, 3)));
    EXPECT_FALSE(r.containsRect(Rect(8, 8, 3, 2)));
}

TEST(RectTest, EllipseContains) {
    Rect r(0, 0, 20, 10);  // centre (10, 5), half-axes 10 and 5
    EXPECT_TRUE(r.ellipseContains(10, 5));
    EXPECT_TRUE(r.ellipseContains(0, 5));
    EXPECT_TRUE(r.ellipseContains(10, 0));
    EXPECT_FALSE(r.ellipseContains(1, 1));  // inside the box, outside the ellipse
    EXPECT_FALSE(r.ellipseContains(21, 5));
    EXPECT_FALSE(Rect(0, 0, 1, 10).ellipseContains(0, 5));
}

TEST(RectTest, InflateAndDeflate) {
    Rect r(10, 10, 20, 20);
    r.inflate(2, 3);
    EXPECT_EQ(r, Rect(8, 7, 24, 26));
    r.deflate(2, 3);
    EXPECT_EQ(r, Rect(10, 10, 20, 20));
    r.inflate(1, 2, 3, 4);
    EXPECT_EQ(r, Rect(9, 8, 24, 26));
    r.deflate(1, 2, 3, 4);
    EXPECT_EQ(r, Rect(10, 10, 20, 20));
}

TEST(RectTest, Intersection) {
    EXPECT_EQ(Rect::intersection(Rect(0, 0, 10, 10), Rect(5, 3, 10, 4)), Rect(5, 3, 5, 4));
    EXPECT_EQ(Rect::intersection(Rect(0, 0, 10, 10), Rect(10, 0, 5, 5)), Rect());  // touching
    EXPECT_EQ(Rect::intersection(Rect(0, 0, 10, 10), Rect(20, 20, 5, 5)), Rect());
    // Both mirrored: (0, 10] and (5, 15] overlap in (5, 10], anchored at 10.
    EXPECT_EQ(Rect::intersection(Rect(10, 10, -10, -10), Rect(15, 15, -10, -10)),
              Rect(10, 10, -5, -5));
    EXPECT_EQ(Rect::intersection(Rect(0, 0, 10, 10), Rect(5, 5, -3, 3)), Rect());
}

TEST(RectTest, Union) {
    EXPECT_EQ(Rect::unionOf(Rect(0, 0, 5, 5), Rect(10, 2, 5, 10)), Rect(0, 0, 15, 12));
    EXPECT_EQ(Rect::unionOf(Rect(10, 10, -5, -5), Rect(20, 3, -2, -2)), Rect(20, 10, -15, -9));
    Rect bounds;  // an empty start does not pull the union towards (0, 0)
    bounds.unite(Rect(10, 10, 5, 5));
    bounds.unite(Rect(12, 20, 1, 1));
    EXPECT_EQ(bounds, Rect(10, 10, 5, 11));
}
