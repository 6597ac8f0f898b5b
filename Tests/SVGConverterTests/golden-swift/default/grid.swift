import SwiftUI

// SVG
struct Grid: View {

  static let intrinsicSize = CGSize(width: 120, height: 120)
  static let viewBox = CGRect(x: -10.0, y: -10.0, width: 120, height: 120)

  // Nested Groups and Shapes

  // SVG
  struct Group1: View {

    static let intrinsicSize = CGSize(width: 50, height: 30)
    static let viewBox = CGRect(x: 0.0, y: 0.0, width: 100, height: 60)

    // Nested Groups and Shapes

    struct Rectangle1: View {

      static let intrinsicSize = CGSize(width: 100, height: 60)

      var body: some View {
        RoundedRectangle(cornerRadius: 6)
          .fill(Color.gray)
      }
    }

    var isResizable = false
    func resizable() -> Self { Self(isResizable: true) }

    var body: some View {
      if isResizable {
        GeometryReader { proxy in
          Rectangle1()
            .frame(width: 100, height: 60, alignment: .topLeading)
            .frame(width: Self.viewBox.width, height: Self.viewBox.height,
                   alignment: .topLeading)
            .scaleEffect(x: proxy.size.width  / Self.viewBox.width,
                         y: proxy.size.height / Self.viewBox.height)
            .frame(width: proxy.size.width, height: proxy.size.height)
        }
      }
      else {
        Rectangle1()
          .frame(width: 100, height: 60, alignment: .topLeading)
          .frame(width: 50, height: 30)
      }
    }
  }

  struct Group2: View {
    // Group

    struct Circle1: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 1, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle2: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 11, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle3: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 21, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle4: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 31, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle5: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 41, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle6: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 51, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle7: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 61, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle8: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 71, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle9: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 81, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    struct Circle10: View {

      static let intrinsicSize = CGSize(width: 8, height: 8)
      static let origin        = CGPoint(x: 91, y: 86)

      var body: some View {
        Circle()
          .fill(Color.black)
      }
    }

    var body: some View {
      ZStack(alignment: .topLeading) {
        Group {
          Circle1()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 1)
            .padding(.top, 86)
          Circle2()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 11)
            .padding(.top, 86)
          Circle3()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 21)
            .padding(.top, 86)
          Circle4()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 31)
            .padding(.top, 86)
          Circle5()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 41)
            .padding(.top, 86)
          Circle6()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 51)
            .padding(.top, 86)
          Circle7()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 61)
            .padding(.top, 86)
          Circle8()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 71)
            .padding(.top, 86)
          Circle9()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 81)
            .padding(.top, 86)
        }
        Group {
          Circle10()
            .frame(width: 8, height: 8, alignment: .topLeading)
            .padding(.leading, 91)
            .padding(.top, 86)
        }
      }
    }
  }

  var isResizable = false
  func resizable() -> Self { Self(isResizable: true) }

  var body: some View {
    if isResizable {
      GeometryReader { proxy in
        ZStack(alignment: .topLeading) {
          Group1()
            .resizable()
            .frame(width: 50, height: 30, alignment: .topLeading)
            .padding(.leading, 10)
            .padding(.top, 20)
          Group2()
        }
        .frame(width: Self.viewBox.width, height: Self.viewBox.height,
               alignment: .topLeading)
        .padding(.leading, Self.viewBox.minX)
        .padding(.top,     Self.viewBox.minY)
        .scaleEffect(x: proxy.size.width  / Self.viewBox.width,
                     y: proxy.size.height / Self.viewBox.height)
        .frame(width: proxy.size.width, height: proxy.size.height)
      }
    }
    else {
      ZStack(alignment: .topLeading) {
        Group1()
          .resizable()
          .frame(width: 50, height: 30, alignment: .topLeading)
          .padding(.leading, 10)
          .padding(.top, 20)
        Group2()
      }
      .padding(.leading, Self.viewBox.minX)
      .padding(.top,     Self.viewBox.minY)
      .frame(width: 120, height: 120)
    }
  }
}

struct Grid_Previews: PreviewProvider {
  static var previews: some View {
    VStack {
      Grid()
        .resizable()
        .frame(width  : 2 * Grid.intrinsicSize.width,
               height : 2 * Grid.intrinsicSize.height)
        .background(Color.clear.border(Color.green))
        .padding()
      Text("Size: 120.0x120.0").padding(.bottom)
      Text("ViewBox: -10.0,-10.0 120.0x120.0").padding(.bottom)
    }
  }
}
