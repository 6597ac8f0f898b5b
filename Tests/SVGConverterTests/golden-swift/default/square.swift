import SwiftUI

// SVG
struct Square: View {

  static let intrinsicSize = CGSize(width: 100, height: 100)

  // Nested Groups and Shapes

  struct Rectangle1: View {

    static let intrinsicSize = CGSize(width: 80, height: 80)
    static let origin        = CGPoint(x: 10, y: 10)

    var body: some View {
      ZStack {
        Rectangle()
          .fill(Color(red: 1, green: 0.8431, blue: 0))
        Rectangle()
          .stroke(Color.blue, style: .init(lineWidth: 4))
      }
    }
  }

  var isResizable = false
  func resizable() -> Self { Self(isResizable: true) }

  var body: some View {
    if isResizable {
      GeometryReader { proxy in
        Rectangle1()
          .frame(width: 80, height: 80, alignment: .topLeading)
          .padding(.leading, 10)
          .padding(.top, 10)
          .frame(width: 100, height: 100,
                 alignment: .topLeading)
          .scaleEffect(x: proxy.size.width  / 100,
                       y: proxy.size.height / 100)
          .frame(width: proxy.size.width, height: proxy.size.height)
      }
    }
    else {
      Rectangle1()
        .frame(width: 80, height: 80, alignment: .topLeading)
        .padding(.leading, 10)
        .padding(.top, 10)
        .frame(width: 100, height: 100)
    }
  }
}

struct Square_Previews: PreviewProvider {
  static var previews: some View {
    VStack {
      Square()
        .resizable()
        .frame(width  : 2 * Square.intrinsicSize.width,
               height : 2 * Square.intrinsicSize.height)
        .background(Color.clear.border(Color.green))
        .padding()
      Text("Size: 100.0x100.0").padding(.bottom)
    }
  }
}
