import SwiftUI

// SVG
struct Effects: View {

  static let intrinsicSize = CGSize(width: 60, height: 40)

  // Modifiers and Statics

  struct Soft: ViewModifier {

    func body(content: Content) -> some View {
      content // SourceGraphic
        .blur(radius: 1.5) // feGaussianBlur
    }
  }

  struct Glow: ViewModifier {

    func body(content: Content) -> some View {
      ZStack(alignment: .topLeading) { // feMerge
        content // SourceGraphic
          .offset(x: 1, y: 2) // feOffset
        content // SourceGraphic
      }
    }
  }

  // Nested Groups and Shapes

  struct Circle1: View {

    static let intrinsicSize = CGSize(width: 10, height: 10)
    static let origin        = CGPoint(x: 5, y: 5)

    var body: some View {
      Circle()
        .fill(Color.red)
        .blur(radius: 1.5) // feGaussianBlur
    }
  }

  struct Group1: View {
    // Group

    struct Ellipse1: View {

      static let intrinsicSize = CGSize(width: 10, height: 6)
      static let origin        = CGPoint(x: 0, y: 2)

      var body: some View {
        Ellipse()
          .fill(Color.green)
      }
    }

    var body: some View {
      Ellipse1()
        .frame(width: 10, height: 6, alignment: .topLeading)
        .padding(.top, 2)
        .modifier(Glow())
        .scaleEffect(x: 2, y: 2)
        .offset(x: 20, y: 5)
    }
  }

  var isResizable = false
  func resizable() -> Self { Self(isResizable: true) }

  var body: some View {
    if isResizable {
      GeometryReader { proxy in
        ZStack(alignment: .topLeading) {
          Circle1()
            .frame(width: 10, height: 10, alignment: .topLeading)
            .padding(.leading, 5)
            .padding(.top, 5)
          Group1()
        }
        .frame(width: 60, height: 40,
               alignment: .topLeading)
        .scaleEffect(x: proxy.size.width  / 60,
                     y: proxy.size.height / 40)
        .frame(width: proxy.size.width, height: proxy.size.height)
      }
    }
    else {
      ZStack(alignment: .topLeading) {
        Circle1()
          .frame(width: 10, height: 10, alignment: .topLeading)
          .padding(.leading, 5)
          .padding(.top, 5)
        Group1()
      }
      .frame(width: 60, height: 40)
    }
  }
}

struct Effects_Previews: PreviewProvider {
  static var previews: some View {
    VStack {
      Effects()
        .resizable()
        .frame(width  : 4 * Effects.intrinsicSize.width,
               height : 4 * Effects.intrinsicSize.height)
        .background(Color.clear.border(Color.green))
        .padding()
      Text("Size: 60.0x40.0").padding(.bottom)
    }
  }
}
