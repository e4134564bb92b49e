// UIBezierPath: a path of straight segments and cubic curves, with the line
// attributes to stroke it, drawn into the current context (UIGraphics.h).
//
//   +bezierPath                             id()
//   +bezierPathWithRect:                    id(CGRect)
//   +bezierPathWithOvalInRect:              id(CGRect)     four curves, clockwise
//   +bezierPathWithRoundedRect:cornerRadius:   id(CGRect, double)   the radius is
//                                           limited to half the shorter side
//   moveToPoint:                            void(CGPoint)
//   addLineToPoint:                         void(CGPoint)  without a current point: a move
//   addCurveToPoint:controlPoint1:controlPoint2:   void(CGPoint, CGPoint, CGPoint)
//   addQuadCurveToPoint:controlPoint:       void(CGPoint, CGPoint)
//   addArcWithCenter:radius:startAngle:endAngle:clockwise:
//                                           void(CGPoint, double, double, double, BOOL)
//                                           angles in radians from the x axis; clockwise as
//                                           seen on screen (y down). A line joins the current
//                                           point to the arc's start
//   closePath                               void()
//   removeAllPoints                         void()
//   appendPath:                             void(id)       the other path's elements
//   currentPoint                            CGPoint()
//   isEmpty                                 BOOL()
//   bounds                                  CGRect()       of every point, control points
//                                                          included; CGRectZero when empty
//   lineWidth / setLineWidth:               double() / void(double)   1 by default; 0 is
//                                           the thinnest line the device shows (one pixel)
//   lineCapStyle / setLineCapStyle:         NSInteger()   0 butt, 1 round, 2 square
//   lineJoinStyle / setLineJoinStyle:       NSInteger()   0 miter, 1 round, 2 bevel
//   miterLimit / setMiterLimit:             double()      10 by default
//   usesEvenOddFillRule / setUsesEvenOddFillRule:   BOOL()   NO: non-zero winding
//   fill / stroke                           void()   with the context's fill / stroke colour
//   addClip                                 void()   intersects the context's clip with the
//                                           path's inside (by its fill rule)
#pragma once

#include <CoreGraphics/CGContext.h>
#include <objc/NSObject.h>

#include <vector>

struct UIBezierPath : NSObject {
    OBJC_CLASS(UIBezierPath)

    struct Element {
        enum Kind { Move, Line, Curve, Close } kind;
        CGPoint points[3];  // Curve: control 1, control 2, end
    };

    std::vector<Element> _elements;
    double _lineWidth = 1;
    NSInteger _lineCapStyle = 0;
    NSInteger _lineJoinStyle = 0;
    double _miterLimit = 10;
    BOOL _usesEvenOddFillRule = NO;
    CGPoint _currentPoint;
    bool _hasCurrentPoint = false;
    CGPoint _subpathStart;

    // The elements as the current path of `context` (replacing its path).
    void addToContext(CGContextRef context) const;
};
